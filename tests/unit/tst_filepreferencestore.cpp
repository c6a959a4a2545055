// The preference file: values keep their kind, nothing the user had is lost, failed writes change nothing.
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
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner |
                                   (readOnly ? QFile::Permissions() : QFile::WriteOwner));
    if (geteuid() == 0)
        QProcess::execute(u"chattr"_s, {readOnly ? u"+i"_s : u"-i"_s, dir});
    QFile probe(dir + u"/probe"_s);
    return !readOnly || !probe.open(QIODevice::WriteOnly) || !probe.remove();
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

    // A value reads as its own kind only; unknown shapes are kept and written back as they were.
    void values_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariant>("expected"); // invalid: a shape no typed accessor reads
        const std::pair<const char*, QVariant> rows[] = {
            {"true", true},
            {"false", false},
            {"0", 0.0},
            {"-1.5", -1.5},
            {"\"⌥⌘L \\\"q\\\"\"", u"⌥⌘L \"q\""_s},
            {"\"true\"", u"true"_s},
            {"\"12\"", u"12"_s},
            {"{\"data\": \"AP7/\"}", QByteArray("\0\xfe\xff", 3)},
            {"{\"data\": \"\"}", QByteArray("")},
            {"{\"data\": \"***\"}", {}},
            {"{\"data\": \"\", \"a\": 1}", {}},
            {"[1, {\"a\": null}]", {}},
            {"null", {}}};
        for (const auto& [json, expected] : rows)
            QTest::newRow(json) << QByteArray(json) << expected;
    }
    void values() {
        QFETCH(QByteArray, json);
        QFETCH(QVariant, expected);
        writeFile(path(), "{\"k\": " + json + ", \"ok\": true}");
        FilePreferenceStore store(path());
        const QVariant value = store.value(u"k"_s);
        QVERIFY(value.isValid());
        const int kind = expected.typeId();
        if (expected.isValid()) {
            QCOMPARE(value.typeId(), kind);
            QCOMPARE(value, expected);
        }
        QCOMPARE(store.boolValue(u"k"_s).has_value(), kind == QMetaType::Bool);
        QCOMPARE(store.numberValue(u"k"_s).has_value(), kind == QMetaType::Double);
        QCOMPARE(store.textValue(u"k"_s).has_value(), kind == QMetaType::QString);
        QCOMPARE(store.dataValue(u"k"_s).has_value(), kind == QMetaType::QByteArray);
        QCOMPARE(store.boolValue(u"ok"_s), std::optional(true));

        store.setValue(u"copy"_s, value);
        const QJsonObject written = QJsonDocument::fromJson(readFile(path())).object();
        QCOMPARE(written.value(u"k"_s), QJsonDocument::fromJson("[" + json + "]").array().first());
        QCOMPARE(written.value(u"copy"_s), written.value(u"k"_s));
        const QVariant reread = FilePreferenceStore(path()).value(u"copy"_s);
        QCOMPARE(reread.typeId(), value.typeId());
        QCOMPARE(reread, value);
    }

    // A file we cannot read is moved aside byte for byte; the store starts empty and writes a new file.
    void unreadableFileIsMovedAside_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("garbage") << QByteArray::fromHex("7f454c460001");
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
        // A second unreadable file at the same moment gets its own name.
        writeFile(path(), "{{");
        FilePreferenceStore second(path());
        QVERIFY(second.setAsidePath() != store.setAsidePath());
        QCOMPARE(readFile(store.setAsidePath()), contents);
    }

    // A failed write keeps the previous file and no temporary; the next write after that stores everything.
    void failedWriteKeepsPreviousFile() {
        FilePreferenceStore store(path());
        store.setBool(u"a"_s, true);
        const QByteArray before = readFile(path());
        const QString folder = QFileInfo(path()).absolutePath();
        const bool readOnly = makeReadOnly(folder, true);
        store.setText(u"b"_s, u"kept in memory"_s);
        const bool failed = !store.lastWriteSucceeded();
        const QByteArray during = readFile(path());
        makeReadOnly(folder, false);
        if (!readOnly)
            QSKIP("cannot make a folder read-only here");
        QVERIFY(failed);
        QCOMPARE(during, before);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{u"preferences.json"_s});
        store.setNumber(u"c"_s, 3);
        const FilePreferenceStore reopened(path());
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
        store.setBool(u"y"_s, true);
        QVERIFY(QFileInfo(path()).isSymLink());
        const FilePreferenceStore target(real);
        QCOMPARE(target.boolValue(u"x"_s), std::optional(true));
        QCOMPARE(target.boolValue(u"y"_s), std::optional(true));
    }
};

QTEST_GUILESS_MAIN(TestFilePreferenceStore)
#include "tst_filepreferencestore.moc"
