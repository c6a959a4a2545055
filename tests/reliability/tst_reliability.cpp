// A long-running utility killed in the middle of saving loses nothing it saved.
#include "core/desktop/FilePreferenceStore.h"
#include "core/model/LockStore.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
