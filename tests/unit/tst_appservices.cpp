// The services of the running program: one instance per user, and starting at login.
#include "app/SingleInstance.h"
#include "xdg/LoginItem.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Starts the claiming helper; with folder empty it looks for its place the way Kestrune does.
std::unique_ptr<QProcess>
startClaim(const QString& folder, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KESTRUNE_CLAIM_HELPER),
                   folder.isEmpty() ? QStringList() : QStringList{folder});
    return process;
}

// What the helper says about its claim.
QByteArray outcome(QProcess& process) {
    while (!process.canReadLine() && process.waitForReadyRead(5000)) {
    }
    return process.readLine().trimmed();
}

} // namespace

class TestAppServices : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // A second launch finds the first, asks it to come forward and steps aside.
    void secondInstanceActivatesTheFirst() {
        SingleInstance first(m_dir.path());
        QCOMPARE(first.claim(), SingleInstance::Claim::Running);
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        SingleInstance second(m_dir.path());
        QCOMPARE(second.claim(), SingleInstance::Claim::AnotherRuns);
        QTRY_COMPARE(activations.count(), 1);
    }

    // Launches at the same moment: exactly one runs and the others ask it to come forward, also when the
    // one before them was killed and left its socket behind.
    void simultaneousLaunches_data() {
        QTest::addColumn<bool>("killEachWinner");
        QTest::newRow("fresh folder every round") << false;
        QTest::newRow("each round's winner is killed") << true;
    }
    void simultaneousLaunches() {
        QFETCH(bool, killEachWinner);
        constexpr int rounds = 20;
        QTemporaryDir shared;
        for (int round = 0; round < rounds; ++round) {
            QTemporaryDir fresh;
            std::vector<std::unique_ptr<QProcess>> launches;
            for (int i = 0; i < 4; ++i)
                launches.push_back(startClaim(killEachWinner ? shared.path() : fresh.path()));
            QByteArrayList outcomes;
            for (const auto& launch : launches)
                outcomes.append(outcome(*launch));
            QVERIFY2(outcomes.count("running") == 1 && outcomes.count("another") == 3,
                     qPrintable(u"round %1: %2"_s.arg(round).arg(QString::fromLatin1(outcomes.join(' ')))));
            for (const auto& launch : launches) {
                if (killEachWinner)
                    launch->kill();
                launch->closeWriteChannel();
                QVERIFY(launch->waitForFinished(5000));
            }
        }
    }

    // Without a runtime folder the claim lives in a folder of this user's in the temporary folder, made
    // private. One that someone else could have prepared is refused and left untouched.
    void privateFolderInTemp_data() {
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<bool>("runs");
        QTest::newRow("missing: made private") << u""_s << true;
        QTest::newRow("already private") << u"private"_s << true;
        QTest::newRow("open to its group") << u"open"_s << false;
        QTest::newRow("a symbolic link") << u"symlink"_s << false;
        QTest::newRow("a file") << u"file"_s << false;
        QTest::newRow("another user's") << u"foreign"_s << false;
    }
    void privateFolderInTemp() {
        QFETCH(QString, prepared);
        QFETCH(bool, runs);
        QTemporaryDir temp;
        const QString folder = temp.filePath(u"kestrune-%1"_s.arg(geteuid()));
        const QByteArray path = QFile::encodeName(folder);
        if (prepared == u"private" || prepared == u"open" || prepared == u"foreign") {
            QVERIFY(QDir().mkdir(folder));
            QCOMPARE(chmod(path, prepared == u"open" ? 0750 : 0700), 0);
        }
        if (prepared == u"foreign") {
            if (geteuid() != 0)
                QSKIP("giving a folder to another user needs root");
            QCOMPARE(chown(path, 65534, 65534), 0);
        }
        if (prepared == u"symlink") {
            QVERIFY(QDir().mkdir(temp.filePath(u"elsewhere"_s)));
            QVERIFY(QFile::link(temp.filePath(u"elsewhere"_s), folder));
        }
        if (prepared == u"file")
            writeFile(folder, "");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"XDG_RUNTIME_DIR"_s);
        env.insert(u"TMPDIR"_s, temp.path());
        const auto launch = startClaim(QString(), env);
        const QByteArray said = outcome(*launch);
        if (runs) {
            QCOMPARE(said, "running");
            struct stat info {};
            QCOMPARE(lstat(path, &info), 0);
            QVERIFY(S_ISDIR(info.st_mode));
            QCOMPARE(info.st_mode & 0777, 0700u);
        } else {
            QVERIFY2(said.startsWith("refused: "), said);
            QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        }
        launch->closeWriteChannel();
        QVERIFY(launch->waitForFinished(5000));
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
