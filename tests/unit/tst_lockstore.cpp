// The lock store: what each mutation leaves in the list, what reaches the preference store, when
// observers hear of it, and that a list we cannot read is never lost.
#include "core/desktop/MemoryPreferenceStore.h"
#include "core/model/LockStore.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString displayA = u"A1A1A1A1-0000-5000-8000-000000000001"_s;
const QString displayB = u"B2B2B2B2-0000-5000-8000-000000000002"_s;
using Display = std::optional<QString>;

LockRule makeRule(const QString& bundleID, const Display& display, double x = 0) {
    LockRule r;
    r.id = QUuid::createUuid();
    r.bundleID = bundleID;
    r.appName = bundleID.toUpper();
    r.x = x;
    r.y = 40;
    r.width = 800;
    r.height = 600;
    r.requiredDisplayID = display;
    r.requiredDisplayName = display ? std::optional(u"Screen "_s + display->left(1)) : std::nullopt;
    r.capturedDisplayWidth = 1920;
    r.capturedDisplayHeight = 1080;
    return r;
}

// A store over preferences that already hold these rules and this master switch.
struct Fixture {
    MemoryPreferenceStore prefs;
    LockStore store{prefs};

    explicit Fixture(const QList<LockRule>& stored = {}, std::optional<bool> enabled = std::nullopt) {
        if (!stored.isEmpty())
            prefs.setData(LockStore::rulesKey, *encodeRules(stored));
        if (enabled)
            prefs.setBool(LockStore::globalKey, *enabled);
        store.load();
    }
    QList<LockRule> storedRules() const { return *decodeRules(*prefs.dataValue(LockStore::rulesKey)); }
};

} // namespace

class TestLockStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartReadsDefaultsAndWritesNothing() {
        MemoryPreferenceStore prefs;
        LockStore store(prefs);
        store.load();
        QVERIFY(store.rules().isEmpty());
        QVERIFY(store.isGloballyEnabled());
        QCOMPARE(prefs.writeCount(), 0);
    }

    // The stored master switch: only a stored false changes the initial state, and loading it writes
    // both keys back.
    void loadMasterSwitch_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("writes");
        QTest::newRow("false") << QVariant(false) << false << 2;
        QTest::newRow("true") << QVariant(true) << true << 0;
        QTest::newRow("text 'false' reads as absent") << QVariant(u"false"_s) << true << 0;
        QTest::newRow("number 0 reads as absent") << QVariant(0.0) << true << 0;
    }
    void loadMasterSwitch() {
        QFETCH(QVariant, stored);
        QFETCH(bool, expected);
        QFETCH(int, writes);
        const LockRule rule = makeRule(u"xterm"_s, displayA);
        MemoryPreferenceStore prefs;
        prefs.setData(LockStore::rulesKey, *encodeRules({rule}));
        prefs.setValue(LockStore::globalKey, stored);
        const int before = prefs.writeCount();
        LockStore store(prefs);
        store.load();
        QCOMPARE(store.isGloballyEnabled(), expected);
        QCOMPARE(store.rules(), QList<LockRule>{rule});
        QCOMPARE(prefs.writeCount() - before, writes);
        if (writes > 0) {
            QCOMPARE(prefs.boolValue(LockStore::globalKey), std::optional(false));
            QCOMPARE(*decodeRules(*prefs.dataValue(LockStore::rulesKey)), QList<LockRule>{rule});
        }
    }

    void masterSwitchSavesAndNotifiesOnlyOnChange() {
        Fixture f;
        QSignalSpy spy(&f.store, &LockStore::globallyEnabledChanged);
        f.store.setGloballyEnabled(true);
        QCOMPARE(f.prefs.writeCount(), 0);
        QCOMPARE(spy.count(), 0);
        f.store.setGloballyEnabled(false);
        QCOMPARE(f.prefs.boolValue(LockStore::globalKey), std::optional(false));
        QCOMPARE(spy.count(), 1);
        f.store.setGloballyEnabled(!f.store.isGloballyEnabled());
        QCOMPARE(f.prefs.boolValue(LockStore::globalKey), std::optional(true));
        QCOMPARE(spy.count(), 2);
    }

    void upsertReplacesInPlaceOrAppends() {
        const LockRule a = makeRule(u"a"_s, displayA), b = makeRule(u"b"_s, displayA);
        Fixture f({a, b});
        QSignalSpy spy(&f.store, &LockStore::rulesChanged);
        LockRule movedA = a;
        movedA.x = 300;
        f.store.upsert(movedA);
        const LockRule c = makeRule(u"c"_s, std::nullopt);
        f.store.upsert(c);
        const QList<LockRule> expected{movedA, b, c};
        QCOMPARE(f.store.rules(), expected);
        QCOMPARE(f.storedRules(), expected);
        QCOMPARE(spy.count(), 2);
        // The same rule again is saved but is no change.
        const int writes = f.prefs.writeCount();
        f.store.upsert(c);
        QCOMPARE(spy.count(), 2);
        QVERIFY(f.prefs.writeCount() > writes);
    }

    void lookups() {
        const LockRule noDisplay = makeRule(u"term"_s, std::nullopt);
        const LockRule onA = makeRule(u"term"_s, displayA);
        const LockRule onB = makeRule(u"term"_s, displayB);
        const LockRule otherOnA = makeRule(u"other"_s, displayA);
        const LockRule onBAgain = makeRule(u"term"_s, displayB); // a hand-edited file may hold two
        Fixture f({onA, noDisplay, otherOnA, onB, onBAgain});
        QCOMPARE(f.store.rule(u"term"_s, std::nullopt), noDisplay);
        QCOMPARE(f.store.rule(u"term"_s, displayB), onB); // the first one
        QCOMPARE(f.store.rule(u"other"_s, std::nullopt), std::nullopt);
        QCOMPARE(f.store.rule(u"term"_s, displayB.toLower()), std::nullopt); // identifiers are exact texts
        QCOMPARE(f.store.rules(u"term"_s), (QList<LockRule>{onA, noDisplay, onB, onBAgain}));
        QVERIFY(f.store.rules(u"missing"_s).isEmpty());
    }

    // Copying the locks of one display onto another. Rules are described as "app@display:x".
    void copyRules_data() {
        QTest::addColumn<Display>("from");
        QTest::addColumn<Display>("to");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("saves");
        const QStringList initial{u"editor@A:10"_s, u"term@A:20"_s, u"term@B:99"_s, u"mail@-:5"_s};
        QTest::newRow("onto a display holding one of the apps")
            << Display(displayA) << Display(displayB)
            << QStringList{u"editor@A:10"_s, u"term@A:20"_s, u"term@B:20"_s, u"mail@-:5"_s, u"editor@B:10"_s}
            << 2;
        QTest::newRow("onto a display without locks")
            << Display(displayB) << Display(u"C"_s) << initial + QStringList{u"term@C:99"_s} << 1;
        QTest::newRow("from no display")
            << Display() << Display(displayB) << initial + QStringList{u"mail@B:5"_s} << 1;
        QTest::newRow("to no display")
            << Display(displayB) << Display() << initial + QStringList{u"term@-:99"_s} << 1;
        QTest::newRow("same display") << Display(displayA) << Display(displayA) << initial << 0;
        QTest::newRow("both none") << Display() << Display() << initial << 0;
        QTest::newRow("source without locks") << Display(u"C"_s) << Display(displayA) << initial << 0;
    }
    void copyRules() {
        QFETCH(Display, from);
        QFETCH(Display, to);
        QFETCH(QStringList, expected);
        QFETCH(int, saves);
        const QList<LockRule> initial{makeRule(u"editor"_s, displayA, 10), makeRule(u"term"_s, displayA, 20),
                                      makeRule(u"term"_s, displayB, 99),
                                      makeRule(u"mail"_s, std::nullopt, 5)};
        Fixture f(initial);
        const int writesBefore = f.prefs.writeCount();
        f.store.copyRules(from, to);

        QStringList described;
        for (const LockRule& r : f.store.rules())
            described.append(
                u"%1@%2:%3"_s.arg(r.bundleID, r.requiredDisplayID.value_or(u"-"_s).left(1)).arg(r.x));
        QCOMPARE(described, expected);
        // Replaced locks keep their id and place; copies appended get fresh ids; the rest is copied as is.
        for (qsizetype i = 0; i < f.store.rules().size(); ++i) {
            const LockRule& r = f.store.rules().at(i);
            if (i < initial.size()) {
                QCOMPARE(r.id, initial.at(i).id);
            } else {
                QVERIFY(std::none_of(initial.begin(), initial.end(),
                                     [&](const LockRule& o) { return o.id == r.id; }));
                QCOMPARE(r.requiredDisplayName, f.store.rule(r.bundleID, from)->requiredDisplayName);
                QCOMPARE(r.capturedDisplayWidth, std::optional(1920.0));
            }
        }
        QCOMPARE(f.prefs.writeCount() - writesBefore, 2 * saves); // a save writes the list and the switch
        QCOMPARE(f.storedRules(), f.store.rules());
    }

    void removeAlwaysSaves() {
        const LockRule a = makeRule(u"a"_s, displayA), b = makeRule(u"b"_s, displayA);
        LockRule twin = a;
        twin.requiredDisplayID = displayB;
        Fixture f({a, b, twin});
        QSignalSpy spy(&f.store, &LockStore::rulesChanged);
        int writes = f.prefs.writeCount();
        f.store.remove(QUuid::createUuid());
        QVERIFY(f.prefs.writeCount() > writes);
        QCOMPARE(spy.count(), 0);
        f.store.remove(a.id); // every rule with that id goes
        QCOMPARE(f.store.rules(), QList<LockRule>{b});
        QCOMPARE(f.storedRules(), QList<LockRule>{b});
        QCOMPARE(spy.count(), 1);
    }

    void setEnabled() {
        const LockRule a = makeRule(u"a"_s, displayA);
        Fixture f({a});
        QSignalSpy spy(&f.store, &LockStore::rulesChanged);
        int writes = f.prefs.writeCount();
        f.store.setEnabled(false, QUuid::createUuid());
        QCOMPARE(f.prefs.writeCount(), writes);
        f.store.setEnabled(true, a.id); // already on: saved, but no change to announce
        QCOMPARE(spy.count(), 0);
        QVERIFY(f.prefs.writeCount() > writes);
        f.store.setEnabled(false, a.id);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(f.storedRules().first().isEnabled, false);
    }

    // A rule that cannot be encoded leaves the stored list as it was; the switch is still written.
    void encodingFailureKeepsStoredList() {
        const LockRule a = makeRule(u"a"_s, displayA);
        Fixture f({a});
        LockRule broken = makeRule(u"b"_s, displayA);
        broken.width = std::numeric_limits<double>::quiet_NaN();
        f.store.upsert(broken);
        QCOMPARE(f.store.rules().size(), 2);
        QCOMPARE(f.storedRules(), QList<LockRule>{a});
        f.store.setGloballyEnabled(false);
        QCOMPARE(f.prefs.boolValue(LockStore::globalKey), std::optional(false));
        QCOMPARE(f.storedRules(), QList<LockRule>{a});
    }

    // A stored list we cannot read is loaded as empty but kept aside, byte for byte, before the first
    // save replaces it; kept copies are never overwritten.
    void unreadableListIsKept_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("storedFalse");
        const QByteArray good = *encodeRules({makeRule(u"a"_s, displayA), makeRule(u"b"_s, displayB)});
        QByteArray newerField = good;
        newerField.replace("\"isEnabled\":true", "\"isEnabled\":\"sometimes\"");
        QTest::newRow("one record with a new field type") << QVariant(newerField) << false;
        QTest::newRow("not JSON") << QVariant(QByteArray("\x00\xff garbage", 10)) << false;
        QTest::newRow("list stored as text") << QVariant(QString::fromUtf8(good)) << false;
        QTest::newRow("list stored as number") << QVariant(12.0) << false;
        QTest::newRow("unreadable and master switch off") << QVariant(newerField) << true;
    }
    void unreadableListIsKept() {
        QFETCH(QVariant, stored);
        QFETCH(bool, storedFalse);
        MemoryPreferenceStore prefs;
        prefs.setValue(LockStore::rulesKey, stored);
        if (storedFalse)
            prefs.setBool(LockStore::globalKey, false);
        LockStore store(prefs);
        store.load();
        QVERIFY(store.rules().isEmpty());
        if (!storedFalse)
            QCOMPARE(prefs.value(LockStore::rulesKey), stored); // load alone writes nothing

        const LockRule fresh = makeRule(u"new"_s, displayA);
        store.upsert(fresh);
        QCOMPARE(prefs.value(LockStore::unreadableRulesKey), stored);
        QCOMPARE(*decodeRules(*prefs.dataValue(LockStore::rulesKey)), QList<LockRule>{fresh});

        // A later start finds another unreadable list: it goes beside the first, never over it.
        const QVariant second(QByteArray("[{\"id\":\"broken\"}]"));
        prefs.setValue(LockStore::rulesKey, second);
        LockStore again(prefs);
        again.load();
        again.save();
        QCOMPARE(prefs.value(LockStore::unreadableRulesKey), stored);
        QCOMPARE(prefs.value(LockStore::unreadableRulesKey + u".2"_s), second);
        // The same unreadable list a third time is not kept twice, and nothing is kept "with nothing".
        prefs.setValue(LockStore::rulesKey, second);
        LockStore third(prefs);
        third.load();
        third.save();
        third.save();
        QVERIFY(!prefs.value(LockStore::unreadableRulesKey + u".3"_s).isValid());
        QCOMPARE(prefs.value(LockStore::unreadableRulesKey), stored);
    }
};

QTEST_GUILESS_MAIN(TestLockStore)
#include "tst_lockstore.moc"
