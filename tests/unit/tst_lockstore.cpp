// The lock store: what each mutation leaves in the list, what reaches the preference store and comes back
// at the next start, when observers hear of it, and that a list we cannot read is never lost.
#include "core/model/LockStore.h"
#include "core/platform/PreferenceStore.h"

#include "TestLocks.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QStringList initial{u"editor@A:10"_s, u"term@A:20"_s, u"term@B:99"_s, u"mail@-:5"_s, u"mail@-:6"_s};

std::optional<QString> display(const QString& letter) {
    return letter == u"-"_s ? std::nullopt : std::optional(letter);
}

// A lock written as "app@D:x": on display D (none: "-") at x, 800 x 600, captured on a 1920 x 1080 display.
LockRule makeRule(const QString& text) {
    const QStringList p = text.split(QRegularExpression(u"[@:]"_s));
    const double x = p[2] == u"nan"_s ? std::numeric_limits<double>::quiet_NaN() : p[2].toDouble();
    return testLock(p[0], {x, 40, 800, 600}, display(p[1]), QRectF(0, 0, 1920, 1080));
}

// The initial locks; the last is a twin of the one before by id, as a hand-edited file may hold.
QList<LockRule> initialRules() {
    QList<LockRule> rules;
    for (const QString& text : initial.first(4))
        rules.append(makeRule(text));
    LockRule twin = rules.last();
    twin.x = 6;
    return rules << twin;
}

// Locks as "app@D:x", " off" when switched off, "*" when their id is not one of known's.
QStringList describe(const QList<LockRule>& rules, const QList<LockRule>& known = {}) {
    QStringList lines;
    for (const LockRule& r : rules) {
        const bool fresh =
            std::none_of(known.begin(), known.end(), [&](const LockRule& k) { return k.id == r.id; });
        lines.append(u"%1@%2:%3%4%5"_s.arg(r.bundleID, r.requiredDisplayID.value_or(u"-"_s))
                         .arg(r.x)
                         .arg(r.isEnabled ? u""_s : u" off"_s, fresh && !known.isEmpty() ? u"*"_s : u""_s));
    }
    return lines;
}

// A store loaded from preferences that hold this list (by default the initial locks) and master switch.
struct Fixture {
    QList<LockRule> rules = initialRules();
    MemoryPreferenceStore prefs;
    LockStore store{prefs};

    int filled = 0;

    explicit Fixture(const QVariant& master = {}, const QVariant& list = {}) {
        prefs.setValue(LockStore::rulesKey, list.isValid() ? list : QVariant(*encodeRules(rules)));
        if (master.isValid())
            prefs.setValue(LockStore::globalKey, master);
        filled = prefs.writeCount();
        store.load();
    }
    // Writes since the preferences were filled.
    int writes() const { return prefs.writeCount() - filled; }
};

} // namespace

class TestLockStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a start loads from the stored master switch: only a stored false changes it, and loading that
    // writes both keys back at once.
    void load_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("writes");
        QTest::newRow("absent") << QVariant() << true << 0;
        QTest::newRow("false") << QVariant(false) << false << 2;
        QTest::newRow("true") << QVariant(true) << true << 0;
        QTest::newRow("text 'false' reads as absent") << QVariant(u"false"_s) << true << 0;
        QTest::newRow("number 0 reads as absent") << QVariant(0.0) << true << 0;
    }
    void load() {
        QFETCH(QVariant, stored);
        Fixture f(stored);
        QTEST(f.store.isGloballyEnabled(), "expected");
        QCOMPARE(describe(f.store.rules()), initial);
        QTEST(f.writes(), "writes");
        QCOMPARE(describe(*decodeRules(*f.prefs.dataValue(LockStore::rulesKey))), initial);
    }

    // Each mutation's list in memory and at the next start, the changes observers hear of and the
    // writes. Replaced locks keep their id, new ones ("*") get a fresh one, copies keep their source's frame
    // and captured display size. A lock that cannot be written stays in memory only.
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
        QTest::newRow("replace in place") << u"upsert term@A 300"_s << with(1, u"term@A:300"_s) << 1 << 2;
        QTest::newRow("the same lock again: saved, no change") << u"upsert term@A 20"_s << initial << 0 << 2;
        QTest::newRow("append") << u"add new@-:7"_s << plus(u"new@-:7*"_s) << 1 << 2;
        QTest::newRow("unwritable lock: only the switch is written")
            << u"add bad@A:nan"_s << plus(u"bad@A:nan*"_s) << 1 << 1;
        QTest::newRow("remove every lock with that id") << u"remove mail@-"_s << initial.first(3) << 1 << 2;
        QTest::newRow("remove an unknown id: saved anyway") << u"remove unknown"_s << initial << 0 << 2;
        QTest::newRow("switch one off") << u"off term@A"_s << with(1, u"term@A:20 off"_s) << 1 << 2;
        QTest::newRow("switch one on that is on: saved, no change") << u"on term@A"_s << initial << 0 << 2;
        QTest::newRow("switch an unknown one: nothing") << u"off unknown"_s << initial << 0 << 0;
        QTest::newRow("master switch off") << u"master off"_s << initial << 1 << 2;
        QTest::newRow("master switch on when on: nothing") << u"master on"_s << initial << 0 << 0;
        QTest::newRow("copy onto a display with one of the apps: replaced in place, the other appended")
            << u"copy A B"_s << with(2, u"term@B:20"_s) + QStringList{u"editor@B:10*"_s} << 2 << 4;
        QTest::newRow("copy onto a display without locks")
            << u"copy B D"_s << plus(u"term@D:99*"_s) << 1 << 2;
        QTest::newRow("copy two locks of one app: the later replaces the earlier copy")
            << u"copy - B"_s << plus(u"mail@B:6*"_s) << 2 << 4;
        QTest::newRow("copy to no display") << u"copy B -"_s << plus(u"term@-:99*"_s) << 1 << 2;
        QTest::newRow("copy onto the same display") << u"copy A A"_s << initial << 0 << 0;
        QTest::newRow("copy between no displays") << u"copy - -"_s << initial << 0 << 0;
        QTest::newRow("copy from a display without locks") << u"copy D A"_s << initial << 0 << 0;
    }
    void mutations() {
        QFETCH(QString, op);
        QFETCH(QStringList, expected);
        Fixture f;
        const int loaded = f.writes();
        QSignalSpy rulesSpy(&f.store, &LockStore::rulesChanged);
        QSignalSpy switchSpy(&f.store, &LockStore::globallyEnabledChanged);
        const QStringList w = op.split(u' ');
        const auto named = std::find_if(f.rules.begin(), f.rules.end(), [&](const LockRule& r) {
            return describe({r}).first().startsWith(w[1] + u':');
        });
        const QUuid id = named == f.rules.end() ? QUuid::createUuid() : named->id;
        if (w[0] == u"upsert"_s) {
            LockRule changed = *named;
            changed.x = w[2].toDouble();
            f.store.upsert(changed);
        } else if (w[0] == u"add"_s) {
            f.store.upsert(makeRule(w[1]));
        } else if (w[0] == u"remove"_s) {
            f.store.remove(id);
        } else if (w[0] == u"on"_s || w[0] == u"off"_s) {
            f.store.setEnabled(w[0] == u"on"_s, id);
        } else if (w[0] == u"master"_s) {
            f.store.setGloballyEnabled(w[1] == u"on"_s);
        } else {
            f.store.copyRules(display(w[1]), display(w[2]));
        }
        QCOMPARE(describe(f.store.rules(), f.rules), expected);
        QTEST(int(rulesSpy.count() + switchSpy.count()), "changes");
        QTEST(f.writes() - loaded, "writes");
        QVERIFY(std::all_of(f.store.rules().begin(), f.store.rules().end(), [](const LockRule& r) {
            return r.width == 800 && r.capturedDisplayHeight == 1080.0;
        }));

        LockStore reloaded(f.prefs);
        reloaded.load();
        QCOMPARE(describe(reloaded.rules(), f.rules), expected.filter(QRegularExpression(u"^(?!.*nan)"_s)));
        QCOMPARE(reloaded.isGloballyEnabled(), f.store.isGloballyEnabled());
    }

    // The first lock of an application on exactly this display (none matches only none), identifiers as
    // exact texts, and all of an application's locks in list order.
    void lookups() {
        Fixture f;
        const auto found = [&](const QString& app, const QString& letter) {
            const auto r = f.store.rule(app, display(letter));
            return r ? describe({*r}).first() : QString();
        };
        QCOMPARE(found(u"term"_s, u"B"_s), u"term@B:99"_s);
        QCOMPARE(found(u"mail"_s, u"-"_s), u"mail@-:5"_s);
        QCOMPARE(found(u"editor"_s, u"-"_s), QString());
        QCOMPARE(found(u"term"_s, u"b"_s), QString());
        QCOMPARE(describe(f.store.rules(u"term"_s)), initial.mid(1, 2));
        QVERIFY(f.store.rules(u"missing"_s).isEmpty());
    }

    // A stored list we cannot read is loaded as empty but kept aside, byte for byte, before the first
    // save replaces it; kept copies are never overwritten.
    void unreadableListIsKept_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("master");
        QByteArray newerField = *encodeRules(initialRules());
        newerField.replace("\"isEnabled\":true", "\"isEnabled\":\"sometimes\"");
        QTest::newRow("one record with a new field type") << QVariant(newerField) << QVariant();
        QTest::newRow("not JSON") << QVariant(QByteArray("\x00\xff garbage", 10)) << QVariant();
        QTest::newRow("list stored as text")
            << QVariant(QString::fromUtf8(*encodeRules(initialRules()))) << QVariant();
        QTest::newRow("list stored as number") << QVariant(12.0) << QVariant();
        QTest::newRow("unreadable and master switch off") << QVariant(newerField) << QVariant(false);
    }
    void unreadableListIsKept() {
        QFETCH(QVariant, stored);
        QFETCH(QVariant, master);
        Fixture f(master, stored);
        QVERIFY(f.store.rules().isEmpty());
        if (!master.isValid())
            QCOMPARE(f.prefs.value(LockStore::rulesKey), stored); // load alone writes nothing
        f.store.upsert(makeRule(u"new@A:1"_s));
        QCOMPARE(f.prefs.value(LockStore::unreadableRulesKey), stored);
        QCOMPARE(describe(*decodeRules(*f.prefs.dataValue(LockStore::rulesKey))), QStringList{u"new@A:1"_s});

        // Later starts find another unreadable list: it goes beside the first, never over it; the same one
        // again is not kept twice, and nothing is kept "with nothing".
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
