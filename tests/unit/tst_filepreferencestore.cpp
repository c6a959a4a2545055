// The preference file: values keep their kind across restarts, nothing the user had is ever lost, and
// a failed write leaves the previous file as it was.
#include "core/desktop/FilePreferenceStore.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Makes a folder refuse new files, also for root (immutable attribute); false when that is not possible.
bool makeReadOnly(const QString& dir, bool readOnly) {
    QFile::setPermissions(dir, readOnly
                                   ? QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                   : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (geteuid() == 0)
        QProcess::execute(u"chattr"_s, {readOnly ? u"+i"_s : u"-i"_s, dir});
    if (!readOnly)
        return true;
    QFile probe(dir + u"/probe"_s);
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        return false;
    }
    return true;
}

} // namespace

class TestFilePreferenceStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"kestrune/preferences.json"_s); }

private Q_SLOTS:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // Every kind reads back as itself after a restart and as nothing through the other accessors.
    void valuesKeepTheirKind_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("true") << QVariant(true);
        QTest::newRow("false") << QVariant(false);
        QTest::newRow("zero") << QVariant(0.0);
        QTest::newRow("fraction") << QVariant(-1.5);
        QTest::newRow("huge") << QVariant(1e300);
        QTest::newRow("key code") << QVariant(37.0);
        QTest::newRow("text") << QVariant(u"⌥⌘L Ctrl+Alt+L \"q\""_s);
        QTest::newRow("empty text") << QVariant(QString(u""_s));
        QTest::newRow("binary data") << QVariant(QByteArray("\x00\x01\xfe\xff[]", 6));
        QTest::newRow("empty data") << QVariant(QByteArray(""));
    }
    void valuesKeepTheirKind() {
        QFETCH(QVariant, value);
        {
            FilePreferenceStore store(path());
            store.setValue(u"k"_s, value);
            QVERIFY(store.lastWriteSucceeded());
        }
        FilePreferenceStore reopened(path());
        const QVariant back = reopened.value(u"k"_s);
        QCOMPARE(back.typeId(), value.typeId());
        QCOMPARE(back, value);
        const int kind = value.typeId();
        QCOMPARE(reopened.boolValue(u"k"_s).has_value(), kind == QMetaType::Bool);
        QCOMPARE(reopened.numberValue(u"k"_s).has_value(), kind == QMetaType::Double);
        QCOMPARE(reopened.textValue(u"k"_s).has_value(), kind == QMetaType::QString);
        QCOMPARE(reopened.dataValue(u"k"_s).has_value(), kind == QMetaType::QByteArray);
    }

    // Hand-written values of the wrong kind read as absent, and values of shapes we do not know are
    // written back untouched when something else changes.
    void foreignValuesReadAsAbsentAndSurvive() {
        writeFile(path(), R"({"flag": "true", "n": "12", "d": {"data": "***"}, "list": [1, {"a": null}],
                              "obj": {"data": "AA==", "extra": 1}, "ok": true})");
        FilePreferenceStore store(path());
        QVERIFY(store.setAsidePath().isEmpty());
        QCOMPARE(store.boolValue(u"flag"_s), std::nullopt);
        QCOMPARE(store.textValue(u"flag"_s), std::optional(u"true"_s));
        QCOMPARE(store.numberValue(u"n"_s), std::nullopt);
        QCOMPARE(store.dataValue(u"d"_s), std::nullopt);
        QCOMPARE(store.dataValue(u"obj"_s), std::nullopt);
        QVERIFY(store.value(u"list"_s).isValid());
        QCOMPARE(store.boolValue(u"ok"_s), std::optional(true));
        QCOMPARE(store.boolValue(u"missing"_s), std::nullopt);

        store.setBool(u"ok"_s, false);
        const QJsonObject written = QJsonDocument::fromJson(readFile(path())).object();
        QCOMPARE(written.value(u"list"_s), QJsonValue(QJsonArray{1, QJsonObject{{u"a"_s, QJsonValue()}}}));
        QCOMPARE(written.value(u"d"_s), QJsonValue(QJsonObject{{u"data"_s, u"***"_s}}));
        QCOMPARE(written.value(u"flag"_s), QJsonValue(u"true"_s));
        QCOMPARE(written.value(u"ok"_s), QJsonValue(false));
        // A foreign value copied to another key keeps its shape too.
        store.setValue(u"copy"_s, store.value(u"list"_s));
        QCOMPARE(FilePreferenceStore(path()).value(u"copy"_s), store.value(u"list"_s));
    }

    // A file we cannot read is moved aside byte for byte; the store starts empty and writes a new file.
    void unreadableFileIsMovedAside_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("garbage") << QByteArray("\x7f"
                                               "ELF\x00\x01",
                                               6);
        QTest::newRow("truncated") << QByteArray(R"({"Kestrune.globalEnabled": fal)");
        QTest::newRow("array at top level") << QByteArray("[true]");
        QTest::newRow("empty file") << QByteArray();
    }
    void unreadableFileIsMovedAside() {
        QFETCH(QByteArray, contents);
        writeFile(path(), contents);
        FilePreferenceStore store(path());
        QVERIFY(!store.setAsidePath().isEmpty());
        QCOMPARE(readFile(store.setAsidePath()), contents);
        QVERIFY(!QFile::exists(path()));
        QVERIFY(!store.value(u"Kestrune.globalEnabled"_s).isValid());

        store.setBool(u"Kestrune.globalEnabled"_s, true);
        QCOMPARE(FilePreferenceStore(path()).boolValue(u"Kestrune.globalEnabled"_s), std::optional(true));
        QCOMPARE(readFile(store.setAsidePath()), contents);
        // A second unreadable file at the same moment gets its own name.
        writeFile(path(), "{{");
        FilePreferenceStore second(path());
        QVERIFY(second.setAsidePath() != store.setAsidePath());
        QCOMPARE(readFile(store.setAsidePath()), contents);
    }

    void xdgConfigHomeIsRespected_data() {
        QTest::addColumn<QByteArray>("xdg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absolute") << QByteArray("/tmp/cfg") << u"/tmp/cfg/kestrune/preferences.json"_s;
        QTest::newRow("unset") << QByteArray() << QDir::homePath() + u"/.config/kestrune/preferences.json"_s;
        QTest::newRow("relative is ignored")
            << QByteArray("cfg") << QDir::homePath() + u"/.config/kestrune/preferences.json"_s;
    }
    void xdgConfigHomeIsRespected() {
        QFETCH(QByteArray, xdg);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        if (xdg.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", xdg);
        const QString actual = FilePreferenceStore::defaultPath();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(actual, expected);
    }

    // A write that cannot reach the disk leaves the previous file intact and loses nothing in memory;
    // once the folder is writable again the next change writes everything.
    void failedWriteKeepsPreviousFile() {
        FilePreferenceStore store(path());
        store.setBool(u"a"_s, true);
        const QByteArray before = readFile(path());
        const QString folder = QFileInfo(path()).absolutePath();
        if (!makeReadOnly(folder, true)) {
            makeReadOnly(folder, false);
            QSKIP("cannot make a folder read-only here");
        }
        store.setText(u"b"_s, u"kept in memory"_s);
        const bool failed = !store.lastWriteSucceeded();
        const QByteArray during = readFile(path());
        makeReadOnly(folder, false);
        QVERIFY(failed);
        QCOMPARE(during, before);
        QCOMPARE(store.textValue(u"b"_s), std::optional(u"kept in memory"_s));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{u"preferences.json"_s});

        store.setNumber(u"c"_s, 3);
        QVERIFY(store.lastWriteSucceeded());
        FilePreferenceStore reopened(path());
        QCOMPARE(reopened.boolValue(u"a"_s), std::optional(true));
        QCOMPARE(reopened.textValue(u"b"_s), std::optional(u"kept in memory"_s));
        QCOMPARE(reopened.numberValue(u"c"_s), std::optional(3.0));
    }

    // Dotfile managers link the file from elsewhere: writes go to the link's target.
    void symlinkedFileStaysALink() {
        const QString real = m_dir.filePath(u"dotfiles/preferences.json"_s);
        writeFile(real, R"({"x": true})");
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QVERIFY(QFile::link(real, path()));
        FilePreferenceStore store(path());
        QCOMPARE(store.boolValue(u"x"_s), std::optional(true));
        store.setBool(u"y"_s, true);
        QVERIFY(QFileInfo(path()).isSymLink());
        QCOMPARE(FilePreferenceStore(real).boolValue(u"y"_s), std::optional(true));
    }
};

QTEST_GUILESS_MAIN(TestFilePreferenceStore)
#include "tst_filepreferencestore.moc"
