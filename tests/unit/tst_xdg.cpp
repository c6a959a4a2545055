// The freedesktop.org rules over real files: base directories, desktop-entry names and icons, autostart.
#include "xdg/DesktopEntry.h"
#include "xdg/DesktopEntryIndex.h"
#include "xdg/LoginItem.h"
#include "xdg/XdgBaseDirs.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The base directories of an environment with these variables (NAME=value, separated by ;).
XdgBaseDirs dirsOf(const QString& variables, const QString& home) {
    QProcessEnvironment env;
    for (const QString& variable : variables.split(u';', Qt::SkipEmptyParts))
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    return XdgBaseDirs(env, home);
}

// The user's data folder and one of the system's, with these entries installed.
struct Installed {
    QTemporaryDir root;
    XdgBaseDirs dirs = dirsOf(u"XDG_DATA_DIRS="_s + root.filePath(u"system"_s), root.path());
    QString user = dirs.dataHome() + u"/applications/"_s;
    QString system = root.filePath(u"system/applications/"_s);

    Installed() {
        writeFile(user + u"kestrune-probe.desktop"_s,
                  "[Desktop Entry]\nType=Application\nName=Kestrune Probe\nName[de]=Sonde\n"
                  "Name[de_CH]=Sondli\nName[sr]=Sonda\nName[sr@latin]=Sonda latinicom\n"
                  "StartupWMClass=ProbeByClass\nIcon=/opt/probe.png\n");
        writeFile(user + u"sub/ProbeByFile.desktop"_s,
                  "# installed by hand\n[Desktop Entry]\n  Name =  \\sProbe\\tBy\\\\File  \n"
                  "Icon=probe-icon\n[Desktop Action New]\nName=Not this\n");
        writeFile(user + u"hidden.desktop"_s,
                  "[Desktop Entry]\nName=Hidden Probe\nStartupWMClass=ProbeHidden\nHidden=true\n");
        writeFile(user + u"removed.desktop"_s, "[Desktop Entry]\nHidden=true\n");
        writeFile(system + u"removed.desktop"_s, "[Desktop Entry]\nName=Removed\nStartupWMClass=Removed\n");
        writeFile(user + u"shadow.desktop"_s, "[Desktop Entry]\nName=Mine\n");
        writeFile(system + u"shadow.desktop"_s, "[Desktop Entry]\nName=Theirs\nStartupWMClass=Shadow\n");
        writeFile(system + u"helper.desktop"_s,
                  "[Desktop Entry]\nName=System Helper\nNoDisplay=true\nStartupWMClass=Helper\n");
        writeFile(user + u"broken.desktop"_s, QByteArray("\xff\xfe[Desk\0top", 12));
    }
};

} // namespace

class TestXdg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Unset, empty and relative values give way to the defaults; lists keep their absolute members.
    void baseDirs_data() {
        QTest::addColumn<QString>("variables"); // NAME=value, separated by ;
        QTest::addColumn<QString>("expected");  // config home|config dirs|data home|data dirs|runtime
        const QString defaults = u"/h/.config|/etc/xdg|/h/.local/share|/usr/local/share:/usr/share|"_s;
        QTest::newRow("unset") << u""_s << defaults;
        QTest::newRow("empty") << u"XDG_CONFIG_HOME=;XDG_DATA_DIRS=;XDG_RUNTIME_DIR="_s << defaults;
        QTest::newRow("absolute") << u"XDG_CONFIG_HOME=/c;XDG_CONFIG_DIRS=/e:/f;XDG_DATA_HOME=/d;"
                                     u"XDG_DATA_DIRS=/s::/t;XDG_RUNTIME_DIR=/run/u"_s
                                  << u"/c|/e:/f|/d|/s:/t|/run/u"_s;
        QTest::newRow("relative ignored") << u"XDG_CONFIG_HOME=cfg;XDG_CONFIG_DIRS=etc:/f;XDG_DATA_HOME=./d;"
                                             u"XDG_DATA_DIRS=share;XDG_RUNTIME_DIR=run"_s
                                          << u"/h/.config|/f|/h/.local/share|/usr/local/share:/usr/share|"_s;
    }
    void baseDirs() {
        QFETCH(QString, variables);
        const XdgBaseDirs dirs = dirsOf(variables, u"/h"_s);
        QTEST(QStringList({dirs.configHome(), dirs.configDirs().join(u':'), dirs.dataHome(),
                           dirs.dataDirs().join(u':'), dirs.runtimeDir()})
                  .join(u'|'),
              "expected");
    }

    // Which entry names a window class, in which language, and with which icon; none is "-".
    void naming_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("named"); // name|icon
        QTest::newRow("StartupWMClass") << u"C"_s << u"ProbeByClass"_s << u"Kestrune Probe|/opt/probe.png"_s;
        QTest::newRow("language") << u"de_DE.UTF-8"_s << u"ProbeByClass"_s << u"Sonde|/opt/probe.png"_s;
        QTest::newRow("country first") << u"de_CH.UTF-8"_s << u"ProbeByClass"_s << u"Sondli|/opt/probe.png"_s;
        QTest::newRow("modifier first")
            << u"sr_RS.UTF-8@latin"_s << u"ProbeByClass"_s << u"Sonda latinicom|/opt/probe.png"_s;
        QTest::newRow("file name, any case; blanks, escapes, comments, other groups")
            << u"de_DE"_s << u"PROBEBYFILE"_s << u" Probe\tBy\\File|probe-icon"_s;
        QTest::newRow("NoDisplay still names") << u"C"_s << u"Helper"_s << u"System Helper|"_s;
        QTest::newRow("hidden") << u"C"_s << u"ProbeHidden"_s << u"-"_s;
        QTest::newRow("hidden by the user's folder") << u"C"_s << u"Removed"_s << u"-"_s;
        QTest::newRow("the user's entry goes first") << u"C"_s << u"Shadow"_s << u"Mine|"_s;
        QTest::newRow("not UTF-8, no [Desktop Entry]") << u"C"_s << u"broken"_s << u"-"_s;
        QTest::newRow("no entry") << u"C"_s << u"NoSuchApp"_s << u"-"_s;
    }
    void naming() {
        QFETCH(QString, locale);
        QFETCH(QString, windowClass);
        Installed installed;
        DesktopEntryIndex index(installed.dirs, locale);
        const auto entry = index.find(windowClass);
        QTEST(entry ? entry->name + u'|' + entry->icon : u"-"_s, "named");
    }

    // Register and unregister, alone and over a packaged entry; Exec= quotes and escapes the program's path.
    void loginItem_data() {
        QTest::addColumn<QByteArray>("systemEntry"); // empty: none installed
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec"); // as read back, before the command line is split
        const QByteArray packaged = "[Desktop Entry]\nType=Application\nExec=kestrune\n";
        QTest::newRow("plain") << QByteArray() << u"/usr/bin/kestrune"_s << u"\"/usr/bin/kestrune\""_s;
        QTest::newRow("packaged entry") << packaged << u"/usr/bin/kestrune"_s << u"\"/usr/bin/kestrune\""_s;
        QTest::newRow("blank, $ and backslash")
            << QByteArray() << u"/opt/my apps/k$1\\x"_s << u"\"/opt/my apps/k\\$1\\\\x\""_s;
        QTest::newRow("field code") << packaged << u"/opt/100%u/k"_s << u"\"/opt/100%%u/k\""_s;
        QTest::newRow("a line end") << QByteArray() << u"/tmp/a\nHidden=true\n/k"_s
                                    << u"\"/tmp/a\nHidden=true\n/k\""_s;
    }
    void loginItem() {
        QFETCH(QByteArray, systemEntry);
        QFETCH(QString, executable);
        QTemporaryDir home, system;
        if (!systemEntry.isEmpty())
            writeFile(system.filePath(u"autostart/kestrune.desktop"_s), systemEntry);
        LoginItem item(home.path(), {system.path()}, executable);
        QCOMPARE(item.isEnabled(), !systemEntry.isEmpty());
        QVERIFY(item.registerItem());
        QTEST(DesktopEntry::read(item.userEntryPath()).value_or(DesktopEntry()).value(u"Exec"_s), "exec");
        QVERIFY(item.unregisterItem());
        QVERIFY(!item.isEnabled());
        QCOMPARE(QFile::exists(item.userEntryPath()), !systemEntry.isEmpty()); // hidden, not removed
        QVERIFY(item.registerItem());
        QVERIFY(item.isEnabled());
    }

    // Entries switched off by hand or by the desktop, and one that cannot be written, read as off.
    void loginItemStatus_data() {
        QTest::addColumn<QByteArray>("entry"); // empty: a file where the autostart folder should be
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nExec=k\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\n") << false;
        QTest::newRow("switched off by the desktop")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("hidden in another group only")
            << QByteArray("[Desktop Entry]\nExec=k\n[Desktop Action x]\nHidden=true\n") << true;
        QTest::newRow("no [Desktop Entry]") << QByteArray("Exec=k\n") << false;
        QTest::newRow("unwritable") << QByteArray() << false;
    }
    void loginItemStatus() {
        QFETCH(QByteArray, entry);
        QTemporaryDir home;
        LoginItem item(home.path(), {}, u"/usr/bin/kestrune"_s);
        if (entry.isEmpty()) {
            writeFile(home.filePath(u"autostart"_s), "a file where the folder should be");
            QVERIFY(!item.registerItem());
        } else {
            writeFile(item.userEntryPath(), entry);
        }
        QTEST(item.isEnabled(), "enabled");
    }
};

QTEST_GUILESS_MAIN(TestXdg)
#include "tst_xdg.moc"
