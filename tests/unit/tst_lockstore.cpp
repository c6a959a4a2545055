// The lock store: each change in memory, stored and reloaded, its notifications, and unreadable lists kept.
#include "core/model/LockStore.h"
#include "core/desktop/MemoryPreferenceStore.h"

#include "TestLocks.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Locks as "app@D:x" (no display: "-"); the last shares the id of the one before, as hand edits may.
const QStringList initial{u"editor@A:10"_s, u"term@A:20"_s, u"term@B:99"_s, u"mail@-:5"_s, u"mail@-:6"_s};

std::optional<QString> display(const QString& letter) {
    return letter == u"-"_s ? std::nullopt : std::optional(letter);
}

LockRule makeRule(const QString& text) {
    const QStringList p = text.split(QRegularExpression(u"[@:]"_s));
    return testLock(p[0], {p[2].toDouble(), 40, 800, 600}, display(p[1]), QRectF(0, 0, 1920, 1080));
}

// A store loaded from preferences that hold the initial locks (or another stored list) and a master switch.
struct Fixture {
    QList<LockRule> rules;
    MemoryPreferenceStore prefs;
    LockStore store{prefs};

    explicit Fixture(const QVariant& master = {}, const QVariant& list = {}) {
        for (const QString& text : initial)
            rules.append(makeRule(text));
        rules.last().id = rules.at(3).id;
        prefs.setValue(LockStore::rulesKey, list.isValid() ? list : QVariant(*encodeRules(rules)));
        if (master.isValid())
            prefs.setValue(LockStore::globalKey, master);
        store.load();
    }
    // Locks as "app@D:x", " off" when switched off, "*" when their id is none of the initial locks'.
    QStringList describe(const QList<LockRule>& list) const {
        QStringList lines;
        for (const LockRule& r : list) {
            const bool known =
                std::any_of(rules.begin(), rules.end(), [&](const LockRule& k) { return k.id == r.id; });
            lines.append(u"%1@%2:%3%4%5"_s.arg(r.bundleID, r.requiredDisplayID.value_or(u"-"_s))
                             .arg(r.x)
                             .arg(r.isEnabled ? u""_s : u" off"_s, known ? u""_s : u"*"_s));
        }
        return lines;
    }
};

} // namespace

class TestLockStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only a stored false turns the master switch off.
    void load_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("absent") << QVariant() << true;
        QTest::newRow("false") << QVariant(false) << false;
        QTest::newRow("true") << QVariant(true) << true;
        QTest::newRow("text 'false' reads as absent") << QVariant(u"false"_s) << true;
        QTest::newRow("number 0 reads as absent") << QVariant(0.0) << true;
    }
    void load() {
        QFETCH(QVariant, stored);
        Fixture f(stored);
        QTEST(f.store.isGloballyEnabled(), "expected");
        QCOMPARE(f.describe(f.store.rules()), initial);
    }

    // Each change in memory and after a restart, its signals and writes; unwritable locks stay in memory.
    void mutations_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("changes");
        QTest::addColumn<int>("writes");
        const auto with = [](int index, const QString& line) {
            QStringList l = initial;
            l[index] = line;
            return l;
        };
        const auto plus = [](const QString& line) { return initial + QStringList{line}; };
        QTest::newRow("replace in place") << u"upsert term@A:300"_s << with(1, u"term@A:300"_s) << 1 << 2;
        QTest::newRow("the same lock again: saved, no change") << u"upsert term@A:20"_s << initial << 0 << 2;
        QTest::newRow("append") << u"upsert new@-:7"_s << plus(u"new@-:7*"_s) << 1 << 2;
        QTest::newRow("unwritable lock") << u"upsert bad@A:nan"_s << plus(u"bad@A:nan*"_s) << 1 << 1;
        QTest::newRow("remove every lock with that id") << u"remove mail@-"_s << initial.first(3) << 1 << 2;
        QTest::newRow("switch one off") << u"off term@A"_s << with(1, u"term@A:20 off"_s) << 1 << 2;
        QTest::newRow("switch an unknown one: nothing") << u"off unknown"_s << initial << 0 << 0;
        QTest::newRow("master switch off") << u"master off"_s << initial << 1 << 2;
        QTest::newRow("master switch on when on: nothing") << u"master on"_s << initial << 0 << 0;
        QTest::newRow("copy onto a display with one of the apps: replaced in place, the other appended")
            << u"copy A B"_s << with(2, u"term@B:20"_s) + QStringList{u"editor@B:10*"_s} << 2 << 4;
        QTest::newRow("copy onto a display without locks")
            << u"copy B D"_s << plus(u"term@D:99*"_s) << 1 << 2;
        QTest::newRow("copy two locks of one app: the later replaces the earlier copy")
            << u"copy - B"_s << plus(u"mail@B:6*"_s) << 2 << 4;
        QTest::newRow("copy onto the same display") << u"copy A A"_s << initial << 0 << 0;
        QTest::newRow("copy from a display without locks") << u"copy D A"_s << initial << 0 << 0;
    }
    void mutations() {
        QFETCH(QString, op);
        QFETCH(QStringList, expected);
        Fixture f;
        const int loaded = f.prefs.writeCount();
        QSignalSpy rulesSpy(&f.store, &LockStore::rulesChanged);
        QSignalSpy switchSpy(&f.store, &LockStore::globallyEnabledChanged);
        const QStringList w = op.split(u' ');
        const qsizetype named =
            f.describe(f.rules).indexOf(QRegularExpression(w[1].section(u':', 0, 0) + u":.*"_s));
        const QUuid id = named < 0 ? QUuid::createUuid() : f.rules.at(named).id;
        if (w[0] == u"upsert"_s) {
            LockRule changed = makeRule(w[1]);
            changed.id = id;
            f.store.upsert(changed);
        } else if (w[0] == u"remove"_s) {
            f.store.remove(id);
        } else if (w[0] == u"on"_s || w[0] == u"off"_s) {
            f.store.setEnabled(w[0] == u"on"_s, id);
        } else if (w[0] == u"master"_s) {
            f.store.setGloballyEnabled(w[1] == u"on"_s);
        } else {
            f.store.copyRules(display(w[1]), display(w[2]));
        }
        QCOMPARE(f.describe(f.store.rules()), expected);
        QTEST(int(rulesSpy.count() + switchSpy.count()), "changes");
        QTEST(f.prefs.writeCount() - loaded, "writes");
        for (const LockRule& r : f.store.rules())
            QCOMPARE(r.capturedDisplayWidth, std::optional(1920.0));

        LockStore reloaded(f.prefs);
        reloaded.load();
        QCOMPARE(f.describe(reloaded.rules()), expected.filter(QRegularExpression(u"^(?!.*nan)"_s)));
        QCOMPARE(reloaded.isGloballyEnabled(), f.store.isGloballyEnabled());
    }

    // An unreadable list loads empty, kept aside byte for byte before the first save; never overwritten.
    void unreadableListIsKept_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("master");
        const QVariant newerField(
            encodeRules({makeRule(u"a@A:1"_s)})->replace("\"isEnabled\":true", "\"isEnabled\":2"));
        QTest::newRow("one record with a new field type") << newerField << QVariant();
        QTest::newRow("list stored as text")
            << QVariant(QString::fromUtf8(*encodeRules({makeRule(u"a@A:1"_s)}))) << QVariant();
        QTest::newRow("unreadable and master switch off") << newerField << QVariant(false);
    }
    void unreadableListIsKept() {
        QFETCH(QVariant, stored);
        QFETCH(QVariant, master);
        Fixture f(master, stored);
        QVERIFY(f.store.rules().isEmpty());
        f.store.upsert(makeRule(u"new@A:1"_s));
        QCOMPARE(f.prefs.value(LockStore::unreadableRulesKey), stored);
        QCOMPARE(f.describe(*decodeRules(*f.prefs.dataValue(LockStore::rulesKey))),
                 QStringList{u"new@A:1*"_s});

        // Later unreadable lists go beside the first, the same one not twice.
        const QVariant second(QByteArray("[{\"id\":\"broken\"}]"));
        for (int start = 0; start < 2; ++start) {
            f.prefs.setValue(LockStore::rulesKey, second);
            LockStore again(f.prefs);
            again.load();
            again.save();
            again.save();
        }
        QCOMPARE(f.prefs.value(LockStore::unreadableRulesKey), stored);
        QCOMPARE(f.prefs.value(LockStore::unreadableRulesKey + u".2"_s), second);
        QVERIFY(!f.prefs.value(LockStore::unreadableRulesKey + u".3"_s).isValid());
    }
};

QTEST_GUILESS_MAIN(TestLockStore)
#include "tst_lockstore.moc"
