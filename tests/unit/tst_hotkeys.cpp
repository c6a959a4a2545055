// The hot-key setting and the key tables: what loads, how it is shown, every key through Qt and X11 names.
#include "core/desktop/HotkeySettings.h"
#include "core/desktop/KeyCodes.h"
#include "core/desktop/MemoryPreferenceStore.h"
#include "ui/shell/ShortcutText.h"

#include <QKeySequence>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestHotkeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What stored values load (a wrong kind reads as absent) and how they show; loading writes nothing.
    void loading_data() {
        QTest::addColumn<QVariant>("keyCode");
        QTest::addColumn<QVariant>("modifiers");
        QTest::addColumn<QVariant>("label");
        QTest::addColumn<QString>("expected");
        const QVariant none;
        const struct {
            const char* name;
            QVariant keyCode, modifiers, label;
            QString expected;
        } rows[] = {
            {"fresh store", none, none, none, u"Ctrl+Alt+L"_s},
            {"key code 0 is the A key", 0.0, 256.0, u"A"_s, u"Ctrl+A"_s},
            {"key code stored as text", u"40"_s, none, none, u"Ctrl+Alt+L"_s},
            {"label stored as data", none, none, QByteArray("K"), u"Ctrl+Alt+L"_s},
            {"negative key code", -1.0, none, u"X"_s, u"Ctrl+Alt+L"_s},
            {"key code beyond 32 bits", 4294967296.0, none, u"X"_s, u"Ctrl+Alt+L"_s},
            {"NaN mask", none, std::numeric_limits<double>::quiet_NaN(), none, u"Ctrl+Alt+L"_s},
            {"all four modifiers, fixed order", 40.0, double(0x1B00), u"K"_s, u"Meta+Ctrl+Alt+Shift+K"_s},
            {"a key Qt has no name for shows its label", 10.0, double(0x900), u"§"_s, u"Ctrl+Alt+§"_s},
            {"no modifiers shows the label alone", 96.0, 0.0, u"F5"_s, u"F5"_s},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.keyCode << r.modifiers << r.label << r.expected;
    }
    void loading() {
        QFETCH(QVariant, keyCode);
        QFETCH(QVariant, modifiers);
        QFETCH(QVariant, label);
        MemoryPreferenceStore prefs;
        for (const auto& [key, value] : {std::pair(HotkeySettings::keyCodeKey, keyCode),
                                         std::pair(HotkeySettings::modifiersKey, modifiers),
                                         std::pair(HotkeySettings::labelKey, label)}) {
            if (value.isValid())
                prefs.setValue(key, value);
        }
        const int writes = prefs.writeCount();
        HotkeySettings settings(prefs);
        QTEST(shortcutText(settings), "expected");
        QCOMPARE(prefs.writeCount(), writes);
    }

    // Every key code with a Qt key maps back to itself through Qt, X keysyms and its text, all modifiers
    // held.
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
            if (*keysym >= 'a' && *keysym <= 'z') // as X reports them with Shift held
                QCOMPARE(KeyCodes::fromKeysym(*keysym - 0x20), std::optional(code));
            const QKeySequence read =
                QKeySequence::fromString(shortcutText(code, 0x1B00), QKeySequence::NativeText);
            QCOMPARE(KeyCodes::fromQtKey(read[0].key(), read[0].keyboardModifiers()), std::optional(code));
            QCOMPARE(HotkeySettings::carbonModifiers(KeyCodes::toolkitFlags(read[0].keyboardModifiers())),
                     0x1B00u);
        }
        QVERIFY(keys >= 99);
        // Shifted punctuation is the key of the ANSI layout it is printed on, never a keypad key.
        const QString shifted = u"!@#$%^&*()_+{}|:\"~<>?"_s, plain = u"1234567890-=[]\\;'`,./"_s;
        for (qsizetype i = 0; i < shifted.size(); ++i)
            QCOMPARE(KeyCodes::fromQtKey(shifted[i].unicode(), Qt::ShiftModifier),
                     KeyCodes::fromQtKey(plain[i].unicode()));
    }

    // The codes the rest of the system relies on by number, and keys that have none.
    void wellKnownCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("keyCode"); // -1: none
        QTest::addColumn<QString>("label");
        const std::tuple<const char*, int, const char*> rows[] = {
            {"L", 37, "L"},         {"Num+Enter", 76, "Num+Enter"}, {"5", 23, "5"},
            {"Num+5", 87, "Num+5"}, {"Backtab", 48, "Tab"},         {"Num+Home", 115, "Home"}};
        for (const auto& [text, code, label] : rows) {
            const QKeyCombination key = QKeySequence::fromString(QString::fromLatin1(text))[0];
            QTest::newRow(text) << int(key.key()) << key.keyboardModifiers() << code
                                << QString::fromLatin1(label);
        }
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << Qt::KeyboardModifiers() << -1 << QString();
        QTest::newRow("a media key") << int(Qt::Key_VolumeUp) << Qt::KeyboardModifiers() << -1 << QString();
    }
    void wellKnownCodes() {
        QFETCH(int, qtKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, keyCode);
        const auto code = KeyCodes::fromQtKey(qtKey, modifiers);
        QCOMPARE(code ? int(*code) : -1, keyCode);
        if (code)
            QTEST(shortcutText(*code, 0), "label");
    }
};

QTEST_GUILESS_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
