// The settings window's widgets with every kind of group, for review by eye (settings-*.png).
#include "core/desktop/HotkeySettings.h"
#include "ui/settings/RuleEditorRow.h"
#include "ui/settings/SettingsView.h"

#include "SimEngine.h"
#include "TestLocks.h"

#include <QApplication>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSettingsView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // settings-window-*.png as it opens, settings-*.png the whole form, settings-import-*.png the alert.
    void renders_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void renders() {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? QPalette(QColor(60, 60, 63), QColor(40, 40, 42))
                                      : QApplication::style()->standardPalette());
        const QString studio = u"CCCCCCCC-0000-5000-8000-000000000003"_s; // not connected
        SimEngine e;
        HotkeySettings hotkey{e.prefs};
        e.desk.openWindow(e.desk.launch(u"Editor"_s, u"Editor"_s), {300, 300, 640, 480});
        e.desk.screens().addDisplay(displayA, {0, 0, 1440, 900}, u"Built-in Display"_s,
                                    QList<ScreenMode>{{2880, 1800}});
        e.desk.screens().addDisplay(displayB, {1440, 0, 2560, 1440}, u"DELL U2720Q"_s);
        e.desk.trusted = true;
        e.trust.requestAccess();
        // Every kind of lock the window draws differently; the built-in display shrank since its lock.
        const auto lock = [&](const QString& app, const std::optional<QString>& display, QSizeF captured) {
            LockRule r = testLock(app, {100, 100, 600, 400}, display, QRectF({0, 0}, captured));
            r.requiredDisplayName = display == studio ? std::optional(u"Studio Display"_s) : std::nullopt;
            e.store.upsert(r);
        };
        lock(u"Editor"_s, displayA, QSizeF(1512, 982));
        lock(u"Terminal"_s, displayB, QSizeF(2560, 1440));
        lock(u"Mail"_s, studio, QSizeF(2560, 1440));
        lock(u"Notes"_s, std::nullopt, QSizeF(1512, 982));
        SettingsView view({e.store, e.displays, e.trust, e.controller, e.windows, e.desk.screens(), hotkey},
                          SettingsModel::LoginItem{});
        view.resize(view.sizeHint());
        view.show();
        // An edited lock, so that "Apply now" stands out.
        view.editor(e.store.rules().first().id)->model().setValue(RuleEditorModel::Field::W, 700);
        const QString name = dark ? u"dark"_s : u"light"_s;
        QVERIFY(view.grab().save(u"settings-window-%1.png"_s.arg(name)));
        view.resize(view.width(), view.widget()->sizeHint().height());
        QVERIFY(view.grab().save(u"settings-%1.png"_s.arg(name)));
        view.model().chooseImport(view.model().group(studio), view.model().group(displayB));
        QVERIFY(view.importAlert());
        QVERIFY(view.importAlert()->grab().save(u"settings-import-%1.png"_s.arg(name)));
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
