// One Kestrune per user, claimed by separate processes as separate launches would.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Starts the claiming helper with runtime as $XDG_RUNTIME_DIR (unset when empty) and temp as $TMPDIR.
std::unique_ptr<QProcess> startClaim(const QString& runtime, const QString& temp = QDir::tempPath()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.insert(u"TMPDIR"_s, temp);
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(KESTRUNE_CLAIM_HELPER), QStringList());
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

private Q_SLOTS:
    // Simultaneous launches: exactly one runs, also over a killed instance's leftover socket.
    void simultaneousLaunches() {
        QTemporaryDir shared;
        for (int round = 0; round < 20; ++round) {
            std::vector<std::unique_ptr<QProcess>> launches;
            for (int i = 0; i < 4; ++i)
                launches.push_back(startClaim(shared.path()));
            QByteArrayList outcomes;
            for (const auto& launch : launches)
                outcomes.append(outcome(*launch));
            QVERIFY2(outcomes.count("running") == 1 && outcomes.count("another") == 3,
                     qPrintable(u"round %1: %2"_s.arg(round).arg(QString::fromLatin1(outcomes.join(' ')))));
            for (const auto& launch : launches) {
                launch->kill();
                launch->closeWriteChannel();
                QVERIFY(launch->waitForFinished(5000));
            }
        }
    }

    // Without a runtime folder the claim lives in a private folder in /tmp; a suspicious one is refused.
    void privateFolderInTemp_data() {
        QTest::addColumn<QString>("runtime"); // $XDG_RUNTIME_DIR below the temporary folder
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<bool>("runs");
        QTest::newRow("no runtime folder: made private") << u""_s << u""_s << true;
        QTest::newRow("runtime folder missing") << u"gone"_s << u""_s << true;
        QTest::newRow("already private") << u""_s << u"private"_s << true;
        QTest::newRow("open to its group") << u""_s << u"open"_s << false;
        QTest::newRow("a symbolic link") << u""_s << u"symlink"_s << false;
        QTest::newRow("a file") << u""_s << u"file"_s << false;
        QTest::newRow("another user's") << u""_s << u"foreign"_s << false;
    }
    void privateFolderInTemp() {
        QFETCH(QString, runtime);
        QFETCH(QString, prepared);
        QFETCH(bool, runs);
        QTemporaryDir temp;
        const QString folder = temp.filePath(u"kestrune-%1"_s.arg(geteuid()));
        const QByteArray path = QFile::encodeName(folder);
        if (prepared == u"private" || prepared == u"open" || prepared == u"foreign")
            QVERIFY(QDir().mkdir(folder) && chmod(path, prepared == u"open" ? 0750 : 0700) == 0);
        if (prepared == u"foreign" && (geteuid() != 0 || chown(path, 65534, 65534) != 0))
            QSKIP("giving a folder to another user needs root");
        if (prepared == u"symlink")
            QVERIFY(QDir().mkdir(temp.filePath(u"elsewhere"_s)) &&
                    QFile::link(temp.filePath(u"elsewhere"_s), folder));
        if (prepared == u"file")
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        const auto launch = startClaim(runtime.isEmpty() ? QString() : temp.filePath(runtime), temp.path());
        const QByteArray said = outcome(*launch);
        if (runs) {
            QCOMPARE(said, "running");
            struct stat info {};
            QVERIFY(lstat(path, &info) == 0 && S_ISDIR(info.st_mode));
            QCOMPARE(info.st_mode & 0777, 0700u);
        } else {
            QVERIFY2(said.startsWith("refused: "), said);
            QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        }
        launch->closeWriteChannel();
        QVERIFY(launch->waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestAppServices)
#include "tst_appservices.moc"
