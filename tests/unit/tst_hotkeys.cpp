// The hot-key setting and the key tables behind it: what loads, what is written, how a combination is
// shown, and that every recordable key survives the trip through Qt and X11 names.
#include "core/desktop/HotkeySettings.h"
#include "core/desktop/KeyCodes.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "ui/shell/ShortcutText.h"

#include <QKeySequence>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestHotkeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a start with these stored values loads.
    void loading_data() {
        QTest::addColumn<QVariant>("keyCode");
        QTest::addColumn<QVariant>("modifiers");
        QTest::addColumn<QVariant>("label");
        QTest::addColumn<quint32>("expectedKeyCode");
        QTest::addColumn<quint32>("expectedModifiers");
        QTest::addColumn<QString>("expectedText");
        const QVariant none;
        QTest::newRow("fresh store") << none << none << none << 37u << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("key code 0 is the A key")
            << QVariant(0.0) << QVariant(0x100 * 1.0) << QVariant(u"A"_s) << 0u << 0x100u << u"Ctrl+A"_s;
        QTest::newRow("key code stored as text")
            << QVariant(u"40"_s) << none << none << 37u << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("label stored as data")
            << none << none << QVariant(QByteArray("K")) << 37u << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("negative key code")
            << QVariant(-1.0) << none << none << 37u << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("key code beyond 32 bits")
            << QVariant(4294967296.0) << none << none << 37u << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("NaN mask") << none << QVariant(std::numeric_limits<double>::quiet_NaN()) << none << 37u
                                  << 0x900u << u"Ctrl+Alt+L"_s;
        QTest::newRow("all four modifiers, fixed order")
            << QVariant(40.0) << QVariant(double(0x1B00)) << QVariant(u"K"_s) << 40u << 0x1B00u
            << u"Meta+Ctrl+Alt+Shift+K"_s;
        QTest::newRow("a key Qt has no name for shows its label")
            << QVariant(10.0) << QVariant(double(0x900)) << QVariant(u"§"_s) << 10u << 0x900u
            << u"Ctrl+Alt+§"_s;
        QTest::newRow("no modifiers shows the label alone")
            << QVariant(96.0) << QVariant(0.0) << QVariant(u"F5"_s) << 96u << 0u << u"F5"_s;
    }
    void loading() {
        QFETCH(QVariant, keyCode);
        QFETCH(QVariant, modifiers);
        QFETCH(QVariant, label);
        MemoryPreferenceStore prefs;
        if (keyCode.isValid())
            prefs.setValue(HotkeySettings::keyCodeKey, keyCode);
        if (modifiers.isValid())
            prefs.setValue(HotkeySettings::modifiersKey, modifiers);
        if (label.isValid())
            prefs.setValue(HotkeySettings::labelKey, label);
        const int writes = prefs.writeCount();
        HotkeySettings settings(prefs);
        QTEST(settings.keyCode(), "expectedKeyCode");
        QTEST(settings.modifiers(), "expectedModifiers");
        QTEST(shortcutText(settings), "expectedText");
        QCOMPARE(prefs.writeCount(), writes);
    }

    // An update always writes all three values and emits updated(); observers hear only of changes.
    void update() {
        MemoryPreferenceStore prefs;
        HotkeySettings settings(prefs);
        QSignalSpy updates(&settings, &HotkeySettings::updated);
        QSignalSpy keyCodes(&settings, &HotkeySettings::keyCodeChanged);
        QSignalSpy masks(&settings, &HotkeySettings::modifiersChanged);
        QSignalSpy labels(&settings, &HotkeySettings::keyLabelChanged);

        settings.update(37, 0x900, u"L"_s);
        QCOMPARE(keyCodes.count() + masks.count() + labels.count(), 0);
        QCOMPARE(updates.count(), 1);
        QCOMPARE(prefs.writeCount(), 3);
        QCOMPARE(prefs.numberValue(HotkeySettings::keyCodeKey), std::optional(37.0));

        settings.update(40, 0x900, u"K"_s);
        QCOMPARE(keyCodes.count(), 1);
        QCOMPARE(masks.count(), 0);
        QCOMPARE(labels.count(), 1);
        QCOMPARE(updates.count(), 2);
        HotkeySettings reloaded(prefs);
        QCOMPARE(reloaded.keyCode(), 40u);
        QCOMPARE(reloaded.keyLabel(), u"K"_s);
        QCOMPARE(shortcutText(reloaded), u"Ctrl+Alt+K"_s);
    }

    void carbonModifiers_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("held");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("none") << Qt::KeyboardModifiers() << 0u;
        QTest::newRow("Ctrl+Shift is command+shift") << (Qt::ControlModifier | Qt::ShiftModifier) << 0x300u;
        QTest::newRow("Ctrl+Alt is the default pair") << (Qt::ControlModifier | Qt::AltModifier) << 0x900u;
        QTest::newRow("Meta is control") << Qt::KeyboardModifiers(Qt::MetaModifier) << 0x1000u;
        QTest::newRow("keypad alone is no modifier") << Qt::KeyboardModifiers(Qt::KeypadModifier) << 0u;
    }
    void carbonModifiers() {
        QFETCH(Qt::KeyboardModifiers, held);
        QFETCH(quint32, mask);
        QCOMPARE(HotkeySettings::carbonModifiers(KeyCodes::toolkitFlags(held)), mask);
        QCOMPARE(KeyCodes::qtModifiers(mask), held & ~Qt::KeypadModifier);
    }

    void x11Modifiers() {
        QCOMPARE(KeyCodes::x11Modifiers(0x900), quint16(0x04 | 0x08));
        QCOMPARE(KeyCodes::x11Modifiers(0x1200), quint16(0x40 | 0x01));
    }

    // Every key code with a Qt key maps back to itself through Qt and through X keysyms.
    void everyKeyRoundTrips() {
        int keys = 0;
        for (quint32 code = 0; code < 128; ++code) {
            const auto qt = KeyCodes::toQtKey(code);
            if (!qt)
                continue;
            ++keys;
            QCOMPARE(KeyCodes::fromQtKey(qt->first, qt->second), std::optional(code));
            const auto keysym = KeyCodes::toKeysym(code);
            QVERIFY(keysym.has_value());
            QCOMPARE(KeyCodes::fromKeysym(*keysym), std::optional(code));
            // Its text, with every modifier, reads back as the same combination.
            const QKeySequence read =
                QKeySequence::fromString(shortcutText(code, 0x1B00), QKeySequence::NativeText);
            QCOMPARE(read.count(), 1);
            QCOMPARE(KeyCodes::fromQtKey(read[0].key(), read[0].keyboardModifiers()), std::optional(code));
            QCOMPARE(HotkeySettings::carbonModifiers(KeyCodes::toolkitFlags(read[0].keyboardModifiers())),
                     0x1B00u);
        }
        QVERIFY(keys >= 99);
    }

    // The codes the rest of the system relies on by number.
    void wellKnownCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<QString>("label");
        const Qt::KeyboardModifiers none;
        QTest::newRow("L") << int(Qt::Key_L) << none << 37u << u"L"_s;
        QTest::newRow("Return") << int(Qt::Key_Return) << none << 36u << u"Return"_s;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 76u << u"Num+Enter"_s;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << none << 53u << u"Esc"_s;
        QTest::newRow("digit 5 of the main row") << int(Qt::Key_5) << none << 23u << u"5"_s;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 87u
                                  << u"Num+5"_s;
        QTest::newRow("comma") << int(Qt::Key_Comma) << none << 43u << u","_s;
        QTest::newRow("up arrow") << int(Qt::Key_Up) << none << 126u << u"Up"_s;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << 122u << u"F1"_s;
        QTest::newRow("Backtab is Tab") << int(Qt::Key_Backtab) << none << 48u << u"Tab"_s;
        // Shifted keys of the main rows are those keys, never keypad keys of the same symbol.
        const std::tuple<Qt::Key, quint32, const char*> shifted[] = {
            {Qt::Key_Exclam, 18, "1"},     {Qt::Key_At, 19, "2"},         {Qt::Key_NumberSign, 20, "3"},
            {Qt::Key_Dollar, 21, "4"},     {Qt::Key_Percent, 23, "5"},    {Qt::Key_AsciiCircum, 22, "6"},
            {Qt::Key_Ampersand, 26, "7"},  {Qt::Key_Asterisk, 28, "8"},   {Qt::Key_ParenLeft, 25, "9"},
            {Qt::Key_ParenRight, 29, "0"}, {Qt::Key_Underscore, 27, "-"}, {Qt::Key_Plus, 24, "="},
            {Qt::Key_BraceLeft, 33, "["},  {Qt::Key_BraceRight, 30, "]"}, {Qt::Key_Bar, 42, "\\"},
            {Qt::Key_Colon, 41, ";"},      {Qt::Key_QuoteDbl, 39, "'"},   {Qt::Key_AsciiTilde, 50, "`"},
            {Qt::Key_Less, 43, ","},       {Qt::Key_Greater, 47, "."},    {Qt::Key_Question, 44, "/"},
        };
        for (const auto& [key, code, text] : shifted) {
            QTest::addRow("shifted %s", text)
                << int(key) << Qt::KeyboardModifiers(Qt::ShiftModifier) << code << QString::fromLatin1(text);
        }
        const Qt::KeyboardModifiers keypad(Qt::KeypadModifier);
        QTest::newRow("keypad *") << int(Qt::Key_Asterisk) << keypad << 67u << u"Num+*"_s;
        QTest::newRow("keypad +") << int(Qt::Key_Plus) << keypad << 69u << u"Num++"_s;
        QTest::newRow("keypad -") << int(Qt::Key_Minus) << keypad << 78u << u"Num+-"_s;
        QTest::newRow("keypad /") << int(Qt::Key_Slash) << keypad << 75u << u"Num+/"_s;
        QTest::newRow("keypad .") << int(Qt::Key_Period) << keypad << 65u << u"Num+."_s;
        QTest::newRow("keypad Home is Home") << int(Qt::Key_Home) << keypad << 115u << u"Home"_s;
    }
    void wellKnownCodes() {
        QFETCH(int, qtKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, keyCode);
        QFETCH(QString, label);
        QCOMPARE(KeyCodes::fromQtKey(qtKey, modifiers), std::optional(keyCode));
        QCOMPARE(shortcutText(keyCode, 0), label);
    }

    void unknownKeys() {
        QCOMPARE(KeyCodes::fromQtKey(Qt::Key_Shift), std::nullopt);
        QCOMPARE(KeyCodes::fromQtKey(Qt::Key_VolumeUp), std::nullopt);
        QCOMPARE(KeyCodes::toQtKey(127), std::nullopt);
        QCOMPARE(KeyCodes::fromKeysym(0x1008ff13), std::nullopt);
        QCOMPARE(KeyCodes::fromKeysym('Q'), std::optional(12u));
    }
};

QTEST_GUILESS_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
