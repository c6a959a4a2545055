// The services of the running program: one instance per user, and starting at login.
#include "app/LoginItem.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class TestAppServices : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // A second launch finds the first, asks it to come forward and steps aside.
    void secondInstanceActivatesTheFirst() {
        const QString socket = m_dir.filePath(u"k.socket"_s);
        SingleInstance first(socket);
        QVERIFY(first.claim());
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        SingleInstance second(socket);
        QVERIFY(!second.claim());
        QTRY_COMPARE(activations.count(), 1);
    }

    // A socket left behind by a crashed instance does not keep Kestrune from starting.
    void staleSocketIsReclaimed() {
        const QString socket = m_dir.filePath(u"stale.socket"_s);
        {
            QLocalServer dead;
            QVERIFY(dead.listen(socket));
        }
        writeFile(socket, "left over"); // not even a socket any more
        SingleInstance next(socket);
        QVERIFY(next.claim());
        SingleInstance another(socket);
        QVERIFY(!another.claim());
    }

    // Register, unregister and status, alone and over a packaged entry.
    void loginItem_data() {
        QTest::addColumn<QByteArray>("systemEntry"); // empty: none installed
        QTest::newRow("no packaged entry") << QByteArray();
        QTest::newRow("packaged entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=kestrune\n");
    }
    void loginItem() {
        QFETCH(QByteArray, systemEntry);
        QTemporaryDir home, system;
        if (!systemEntry.isEmpty())
            writeFile(system.filePath(u"autostart/kestrune.desktop"_s), systemEntry);
        LoginItem item(home.path(), {system.path()}, u"/opt/my apps/kestrune$1"_s);
        QCOMPARE(item.isEnabled(), !systemEntry.isEmpty());

        QVERIFY(item.registerItem());
        QVERIFY(item.isEnabled());
        const QByteArray entry = readFile(item.userEntryPath());
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nExec=\"/opt/my apps/kestrune\\$1\"\n"));

        QVERIFY(item.unregisterItem());
        QVERIFY(!item.isEnabled());
        QCOMPARE(QFile::exists(item.userEntryPath()), !systemEntry.isEmpty()); // hidden, not removed
        QVERIFY(item.registerItem());
        QVERIFY(item.isEnabled());
    }

    // Entries switched off by hand or by the desktop's settings read as off.
    void loginItemStatusFromEntry_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nExec=k\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\n") << false;
        QTest::newRow("switched off by the desktop")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("hidden in another group only")
            << QByteArray("[Desktop Entry]\nExec=k\n[Desktop Action x]\nHidden=true\n") << true;
    }
    void loginItemStatusFromEntry() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, enabled);
        QTemporaryDir home;
        LoginItem item(home.path(), {}, u"/usr/bin/kestrune"_s);
        writeFile(item.userEntryPath(), entry);
        QCOMPARE(item.isEnabled(), enabled);
    }

    // A folder that cannot be written reports failure and the state stays as it was.
    void loginItemUnwritable() {
        QTemporaryDir home;
        writeFile(home.filePath(u"autostart"_s), "a file where the folder should be");
        LoginItem item(home.path(), {}, u"/usr/bin/kestrune"_s);
        QVERIFY(!item.registerItem());
        QVERIFY(!item.isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestAppServices)
#include "tst_appservices.moc"
