// The stored form of a lock: what is written, what is accepted, and what counts as the same lock.
#include "core/model/LockRule.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kId = "6F1C2E9A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";

LockRule fullRule() {
    LockRule r;
    r.id = QUuid::fromString(QLatin1StringView(kId));
    r.bundleID = u"org.example.Editor"_s;
    r.appName = u"Editor"_s;
    r.x = 10;
    r.y = 20.5;
    r.width = 800;
    r.height = 600;
    r.requiredDisplayID = u"0D4D5C56-4C1B-5B43-9E0E-6C2E2A7B9C11"_s;
    r.requiredDisplayName = u"DELL U2720Q"_s;
    r.isEnabled = false;
    r.cascadeWindows = false;
    r.capturedDisplayOriginX = 0;
    r.capturedDisplayOriginY = -1080;
    r.capturedDisplayWidth = 1920;
    r.capturedDisplayHeight = 1080;
    return r;
}

LockRule minimalRule() {
    LockRule r;
    r.id = QUuid::fromString(QLatin1StringView(kId));
    r.bundleID = u"xterm"_s;
    r.appName = u"XTerm"_s;
    r.width = 100;
    r.height = 50;
    return r;
}

// A stored object with the required keys, to which a row adds or replaces keys.
QByteArray object(const QByteArray& extra = {}) {
    QByteArray json = "{\"id\":\"" + kId +
                      "\",\"bundleID\":\"b\",\"appName\":\"A\",\"x\":1,\"y\":2,"
                      "\"width\":3,\"height\":4";
    if (!extra.isEmpty())
        json += "," + extra;
    return json + "}";
}

QStringList keysInOrder(const QByteArray& json) {
    // The encoder's keys in the order they appear in the text.
    QStringList keys;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    QList<std::pair<qsizetype, QString>> found;
    for (const QString& k : o.keys())
        found.append({json.indexOf("\"" + k.toUtf8() + "\":"), k});
    std::sort(found.begin(), found.end());
    for (const auto& [pos, k] : found)
        keys.append(k);
    return keys;
}

} // namespace

class TestLockRule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every way a stored list must be refused as a whole.
    void decodeFailures_data() {
        QTest::addColumn<QByteArray>("json");
        const auto without = [](const char* key) {
            QJsonObject o = QJsonDocument::fromJson(object()).object();
            o.remove(QLatin1StringView(key));
            return "[" + QJsonDocument(o).toJson(QJsonDocument::Compact) + "]";
        };
        const auto with = [](const QByteArray& extra) { return "[" + object(extra) + "]"; };
        for (const char* key : {"id", "bundleID", "appName", "x", "y", "width", "height"})
            QTest::addRow("missing %s", key) << without(key);
        QTest::newRow("null id") << with("\"id\":null");
        QTest::newRow("null width") << with("\"width\":null");
        QTest::newRow("id not a uuid") << with("\"id\":\"not-a-uuid\"");
        QTest::newRow("id in braces") << with("\"id\":\"{" + kId + "}\"");
        QTest::newRow("id without hyphens") << with("\"id\":\"" + QByteArray(kId).replace("-", "") + "\"");
        QTest::newRow("id as number") << with("\"id\":42");
        QTest::newRow("number as string") << with("\"x\":\"10\"");
        QTest::newRow("bundleID as number") << with("\"bundleID\":7");
        QTest::newRow("display id as number") << with("\"requiredDisplayID\":1");
        QTest::newRow("display name as bool") << with("\"requiredDisplayName\":false");
        QTest::newRow("isEnabled as string") << with("\"isEnabled\":\"true\"");
        QTest::newRow("cascadeWindows as number") << with("\"cascadeWindows\":1");
        QTest::newRow("captured width as string") << with("\"capturedDisplayWidth\":\"1920\"");
        QTest::newRow("captured origin as object") << with("\"capturedDisplayOriginX\":{}");
        QTest::newRow("one bad element among good") << "[" + object() + "," + without("x").mid(1);
        QTest::newRow("element not an object") << "[" + object() + ",3]";
        QTest::newRow("object instead of array") << object();
        QTest::newRow("not JSON") << QByteArray("locks: none");
        QTest::newRow("truncated") << ("[" + object()).chopped(3);
        QTest::newRow("empty data") << QByteArray();
    }
    void decodeFailures() {
        QFETCH(QByteArray, json);
        QVERIFY(!decodeRules(json).has_value());
    }

    // What a record reads as when optional keys are missing, null or set, and which spellings are
    // accepted.
    void decodeValues_data() {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<LockRule>("expected");
        LockRule base;
        base.id = QUuid::fromString(QLatin1StringView(kId));
        base.bundleID = u"b"_s;
        base.appName = u"A"_s;
        base.x = 1;
        base.y = 2;
        base.width = 3;
        base.height = 4;
        QTest::newRow("required keys only: enabled, cascading, unprojected") << QByteArray() << base;
        QTest::newRow("nulls read as absent and true")
            << QByteArray("\"requiredDisplayID\":null,\"requiredDisplayName\":null,\"isEnabled\":null,"
                          "\"cascadeWindows\":null,\"capturedDisplayWidth\":null")
            << base;
        LockRule off = base;
        off.isEnabled = false;
        off.cascadeWindows = false;
        QTest::newRow("false flags") << QByteArray("\"isEnabled\":false,\"cascadeWindows\":false") << off;
        LockRule display = base;
        display.requiredDisplayID = u"D"_s;
        display.requiredDisplayName = u""_s;
        display.capturedDisplayHeight = -0.0;
        QTest::newRow("display and one captured field")
            << QByteArray(
                   "\"requiredDisplayID\":\"D\",\"requiredDisplayName\":\"\",\"capturedDisplayHeight\":-0")
            << display;
        QTest::newRow("lower-case id") << QByteArray("\"id\":\"" + kId.toLower() + "\"") << base;
        QTest::newRow("unknown keys ignored")
            << QByteArray("\"futureField\":[1,{\"a\":2}],\"tag\":\"x\"") << base;
        LockRule nil = base;
        nil.id = QUuid();
        QTest::newRow("nil uuid is a uuid")
            << QByteArray("\"id\":\"00000000-0000-0000-0000-000000000000\"") << nil;
    }
    void decodeValues() {
        QFETCH(QByteArray, extra);
        QFETCH(LockRule, expected);
        // A later key replaces an earlier one, so the row's keys override the required ones.
        const auto decoded = decodeRules("[" + object(extra) + "]");
        QVERIFY(decoded.has_value());
        QCOMPARE(decoded->size(), 1);
        QCOMPARE(decoded->first(), expected);
        QCOMPARE(decoded->first().requiredDisplayName.has_value(), expected.requiredDisplayName.has_value());
    }

    // Which keys a record writes, and in which order.
    void encodedKeys_data() {
        QTest::addColumn<LockRule>("rule");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("all fields") << fullRule()
                                    << QStringList{u"id"_s,
                                                   u"bundleID"_s,
                                                   u"appName"_s,
                                                   u"x"_s,
                                                   u"y"_s,
                                                   u"width"_s,
                                                   u"height"_s,
                                                   u"requiredDisplayID"_s,
                                                   u"requiredDisplayName"_s,
                                                   u"isEnabled"_s,
                                                   u"cascadeWindows"_s,
                                                   u"capturedDisplayOriginX"_s,
                                                   u"capturedDisplayOriginY"_s,
                                                   u"capturedDisplayWidth"_s,
                                                   u"capturedDisplayHeight"_s};
        QTest::newRow("absent optionals are left out, flags always written")
            << minimalRule()
            << QStringList{u"id"_s,     u"bundleID"_s,  u"appName"_s,       u"x"_s, u"y"_s, u"width"_s,
                           u"height"_s, u"isEnabled"_s, u"cascadeWindows"_s};
        LockRule partial = minimalRule();
        partial.requiredDisplayName = u"Built-in Display"_s;
        partial.capturedDisplayWidth = 0;
        QTest::newRow("some optionals") << partial
                                        << QStringList{u"id"_s,
                                                       u"bundleID"_s,
                                                       u"appName"_s,
                                                       u"x"_s,
                                                       u"y"_s,
                                                       u"width"_s,
                                                       u"height"_s,
                                                       u"requiredDisplayName"_s,
                                                       u"isEnabled"_s,
                                                       u"cascadeWindows"_s,
                                                       u"capturedDisplayWidth"_s};
    }
    void encodedKeys() {
        QFETCH(LockRule, rule);
        QFETCH(QStringList, keys);
        const auto json = rule.toJson();
        QVERIFY(json.has_value());
        QVERIFY(!json->contains("null"));
        QCOMPARE(keysInOrder(*json), keys);
    }

    void idIsWrittenUpperCase() {
        LockRule r = minimalRule();
        r.id = QUuid::fromString(u"6f1c2e9a-3b4d-4e5f-8a9b-0c1d2e3f4a5b"_s);
        QVERIFY(r.toJson()->startsWith("{\"id\":\"" + kId + "\","));
    }

    // A non-finite number anywhere makes the whole list unencodable.
    void nonFiniteNumbersFailTheList_data() {
        QTest::addColumn<LockRule>("bad");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        LockRule r = fullRule();
        r.x = nan;
        QTest::newRow("nan x") << r;
        r = fullRule();
        r.height = -inf;
        QTest::newRow("-inf height") << r;
        r = fullRule();
        r.capturedDisplayWidth = inf;
        QTest::newRow("inf captured width") << r;
    }
    void nonFiniteNumbersFailTheList() {
        QFETCH(LockRule, bad);
        QVERIFY(!bad.toJson().has_value());
        QVERIFY(!encodeRules({minimalRule(), bad}).has_value());
    }

    // Whatever finite record is written reads back equal, field by field.
    void roundTrip_data() {
        QTest::addColumn<LockRule>("rule");
        QTest::newRow("full") << fullRule();
        QTest::newRow("minimal") << minimalRule();
        LockRule r = fullRule();
        r.appName = u"Ed \"quoted\" \\ back\tslash\n\u0001 — Écrivain 編集 🪟"_s;
        r.bundleID = QString(u"lone\xD800surrogate"_s);
        r.requiredDisplayName = QString();
        QTest::newRow("awkward texts") << r;
        r = minimalRule();
        r.x = -0.0;
        r.y = 1e308;
        r.width = 4.9406564584124654e-324;
        r.height = 0.1 + 0.2;
        r.capturedDisplayOriginX = -1e-7;
        r.capturedDisplayOriginY = 123456789012345678.0;
        r.capturedDisplayWidth = 2560;
        r.capturedDisplayHeight = 1440.25;
        QTest::newRow("extreme numbers") << r;
    }
    void roundTrip() {
        QFETCH(LockRule, rule);
        const auto json = encodeRules({rule, minimalRule()});
        QVERIFY(json.has_value());
        QVERIFY(QJsonDocument::fromJson(*json).isArray());
        const auto back = decodeRules(*json);
        QVERIFY(back.has_value());
        QCOMPARE(back->size(), 2);
        QCOMPARE(back->first(), rule);
        QCOMPARE(back->first().bundleID, rule.bundleID); // exactly, not just equivalently
    }

    void equality_data() {
        QTest::addColumn<LockRule>("a");
        QTest::addColumn<LockRule>("b");
        QTest::addColumn<bool>("equal");
        const LockRule base = fullRule();
        LockRule other = base;
        other.id = QUuid::createUuid();
        QTest::newRow("differ only in id") << base << other << false;
        other = base;
        other.requiredDisplayName = u"LG"_s;
        QTest::newRow("differ only in display name") << base << other << false;
        other = base;
        other.requiredDisplayName.reset();
        QTest::newRow("name absent vs present") << base << other << false;
        other = base;
        other.capturedDisplayOriginX.reset();
        QTest::newRow("captured 0 vs absent") << base << other << false;
        other = base;
        other.cascadeWindows = !base.cascadeWindows;
        QTest::newRow("differ in cascade") << base << other << false;
        LockRule composed = base, decomposed = base;
        composed.appName = u"Caf\u00E9"_s;
        decomposed.appName = u"Cafe\u0301"_s;
        QTest::newRow("canonically equivalent names") << composed << decomposed << true;
        LockRule zero = base, negativeZero = base;
        zero.x = 0.0;
        negativeZero.x = -0.0;
        zero.capturedDisplayOriginX = 0.0;
        negativeZero.capturedDisplayOriginX = -0.0;
        QTest::newRow("0 and -0") << zero << negativeZero << true;
        QTest::newRow("identical") << base << base << true;
    }
    void equality() {
        QFETCH(LockRule, a);
        QFETCH(LockRule, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
        if (equal)
            QCOMPARE(qHash(a, 7), qHash(b, 7));
    }
};

QTEST_GUILESS_MAIN(TestLockRule)
#include "tst_lockrule.moc"
