// Faults a long-running utility meets: killed in the middle of saving, and the X server going away.
#include "core/desktop/FilePreferenceStore.h"
#include "core/model/LockStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestReliability : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Killed at random moments during a storm of saves, the file always loads, with a whole list.
    void killedWhileSaving() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"kestrune/preferences.json"_s);
        int previous = 0;
        for (int round = 0; round < 25; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(KESTRUNE_PREFSTORM), {path});
            QVERIFY(writer.waitForStarted());
            QTest::qSleep(5 + int(QRandomGenerator::global()->bounded(40)));
            writer.kill();
            writer.waitForFinished();

            FilePreferenceStore prefs(path);
            QVERIFY2(prefs.setAsidePath().isEmpty(), "the file could not be read");
            LockStore store(prefs);
            store.load();
            const QList<LockRule>& rules = store.rules();
            QVERIFY(rules.size() >= previous); // never lost what an earlier round saved
            for (qsizetype i = 0; i < rules.size(); ++i)
                QCOMPARE(rules.at(i).bundleID, u"app.%1"_s.arg(i));
            previous = int(rules.size());
        }
        QVERIFY(previous > 0);
    }

    // The X server goes away under a running Kestrune: it ends with status 1 and one line saying why,
    // promptly, without a crash.
    void xServerGoesAway() {
        QTemporaryDir dir;
        QProcess xvfb;
        QFile displayFile(dir.filePath(u"display"_s));
        xvfb.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd 1: the display number arrives on standard output.
        xvfb.setStandardOutputFile(displayFile.fileName());
        xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-noreset"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                               u"0"_s, u"1280x800x24"_s});
        QVERIFY(xvfb.waitForStarted());
        QString display;
        QTRY_VERIFY_WITH_TIMEOUT(
            (displayFile.open(QIODevice::ReadOnly) &&
             !(display = QString::fromLatin1(displayFile.readAll()).trimmed()).isEmpty()) ||
                (displayFile.close(), false),
            10000);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, u":"_s + display);
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
        env.remove(u"QT_QPA_PLATFORM"_s);

        QProcess wm;
        wm.setProcessEnvironment(env);
        wm.start(u"openbox"_s, {});
        QVERIFY(wm.waitForStarted());
        QProcess kestrune;
        kestrune.setProcessEnvironment(env);
        kestrune.start(QStringLiteral(KESTRUNE_BINARY), {});
        QVERIFY(kestrune.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"kestrune.socket"_s)), 10000);
        QTest::qWait(300);

        xvfb.kill();
        xvfb.waitForFinished();
        QVERIFY(kestrune.waitForFinished(5000));
        QCOMPARE(kestrune.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kestrune.exitCode(), 1);
        const QList<QByteArray> lines = kestrune.readAllStandardError().trimmed().split('\n');
        QCOMPARE(lines, QList<QByteArray>{"Kestrune: the connection to the X server was lost."});
        wm.kill();
        wm.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
