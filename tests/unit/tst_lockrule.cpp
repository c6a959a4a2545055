// The stored form of a lock: what is written, what is accepted, and what counts as the same lock.
#include "core/model/LockRule.h"

#include "TestLocks.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kId = "6F1C2E9A-3B4D-4E5F-8A9B-0C1D2E3F4A5B";
const QString allKeys = u"id,bundleID,appName,x,y,width,height,requiredDisplayID,requiredDisplayName,"
                        "isEnabled,cascadeWindows,capturedDisplayOriginX,capturedDisplayOriginY,"
                        "capturedDisplayWidth,capturedDisplayHeight"_s;

// What the required keys of object() read as.
LockRule baseRule() {
    LockRule r = testLock(u"b"_s, {1, 2, 3, 4});
    r.id = QUuid::fromString(QLatin1StringView(kId));
    return r;
}

LockRule fullRule() {
    LockRule r = testLock(u"b"_s, {0, 2, 3, 4}, u"0D4D5C56-4C1B-5B43-9E0E-6C2E2A7B9C11"_s,
                          QRectF(0, -1080, 1920, 1080));
    r.id = QUuid::fromString(QLatin1StringView(kId));
    r.appName = u"Caf\u00E9"_s;
    r.requiredDisplayName = u"DELL U2720Q"_s;
    r.isEnabled = r.cascadeWindows = false;
    return r;
}

// A stored object with the required keys, plus or replacing the keys a row adds.
QByteArray object(const QByteArray& extra = {}) {
    const QByteArray json =
        "{\"id\":\"" + kId +
        "\",\"bundleID\":\"b\",\"appName\":\"b\",\"x\":1,\"y\":2,\"width\":3,\"height\":4";
    return json + (extra.isEmpty() ? "" : "," + extra) + "}";
}

} // namespace

class TestLockRule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Stored lists refused as a whole, optional keys missing, null or set, and accepted spellings.
    void decoding_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QVariant>("expected"); // the one record; invalid: refused
        const auto without = [](const QByteArray& key) {
            return "[" + object().replace("\"" + key + "\":", "\"old" + key + "\":") + "]";
        };
        const auto with = [](const QByteArray& extra) { return "[" + object(extra) + "]"; };
        for (const char* key : {"id", "bundleID", "appName", "x", "y", "width", "height"})
            QTest::addRow("missing %s", key) << without(key) << QVariant();
        for (const char* extra :
             {"\"width\":null", "\"id\":\"not-a-uuid\"", "\"id\":\"{6F1C2E9A-3B4D-4E5F-8A9B-0C1D2E3F4A5B}\"",
              "\"id\":\"6F1C2E9A3B4D4E5F8A9B0C1D2E3F4A5B\"", "\"x\":\"10\"", "\"bundleID\":7",
              "\"requiredDisplayName\":false", "\"isEnabled\":\"true\"", "\"capturedDisplayWidth\":\"1920\""})
            QTest::newRow(extra) << with(extra) << QVariant();
        QTest::newRow("one bad element among good")
            << "[" + object() + "," + without("x").mid(1) << QVariant();
        QTest::newRow("element not an object") << "[" + object() + ",3]" << QVariant();
        QTest::newRow("object instead of array") << object() << QVariant();
        QTest::newRow("not JSON") << QByteArray("locks: none") << QVariant();
        QTest::newRow("empty data") << QByteArray() << QVariant();

        LockRule r = baseRule();
        QTest::newRow("required keys only: enabled, cascading, unprojected")
            << with({}) << QVariant::fromValue(r);
        QTest::newRow("nulls read as absent and true")
            << with("\"requiredDisplayID\":null,\"requiredDisplayName\":null,\"isEnabled\":null,"
                    "\"cascadeWindows\":null,\"capturedDisplayWidth\":null")
            << QVariant::fromValue(r);
        QTest::newRow("lower-case id") << with("\"id\":\"" + kId.toLower() + "\"") << QVariant::fromValue(r);
        QTest::newRow("unknown keys ignored")
            << with("\"futureField\":[1,{\"a\":2}],\"tag\":\"x\"") << QVariant::fromValue(r);
        r.isEnabled = r.cascadeWindows = false;
        QTest::newRow("false flags") << with("\"isEnabled\":false,\"cascadeWindows\":false")
                                     << QVariant::fromValue(r);
        r = baseRule();
        r.requiredDisplayID = u"D"_s;
        r.requiredDisplayName = u""_s;
        r.capturedDisplayHeight = -0.0;
        QTest::newRow("display and one captured field")
            << with("\"requiredDisplayID\":\"D\",\"requiredDisplayName\":\"\",\"capturedDisplayHeight\":-0")
            << QVariant::fromValue(r);
        r = baseRule();
        r.id = QUuid();
        QTest::newRow("nil uuid is a uuid")
            << with("\"id\":\"00000000-0000-0000-0000-000000000000\"") << QVariant::fromValue(r);
    }
    void decoding() {
        QFETCH(QByteArray, json);
        QFETCH(QVariant, expected);
        const auto decoded = decodeRules(json);
        QCOMPARE(decoded.has_value(), expected.isValid());
        if (!decoded)
            return;
        const LockRule rule = expected.value<LockRule>();
        QCOMPARE(*decoded, QList<LockRule>{rule});
    }

    // Keys written and their order, the id upper-case, round trips; a non-finite number refuses the list.
    void encoding_data() {
        QTest::addColumn<LockRule>("rule");
        QTest::addColumn<QString>("keys"); // empty: the list cannot be written
        const double nan = std::numeric_limits<double>::quiet_NaN();
        LockRule r = fullRule();
        QTest::newRow("all fields") << r << allKeys;
        r.id = QUuid::fromString(u"6f1c2e9a-3b4d-4e5f-8a9b-0c1d2e3f4a5b"_s);
        r.appName = u"Ed \"quoted\" \\ back\tslash\n\u0001 — Écrivain 編集 🪟"_s;
        r.bundleID = QString(u"lone\xD800surrogate"_s);
        r.requiredDisplayName = QString();
        QTest::newRow("awkward texts, id read in lower case") << r << allKeys;
        r = baseRule();
        r.x = -0.0;
        r.y = 1e308;
        r.width = 4.9406564584124654e-324;
        r.height = 0.1 + 0.2;
        r.requiredDisplayName = u"Built-in Display"_s;
        r.capturedDisplayWidth = 0;
        QTest::newRow("absent optionals left out, flags always written, extreme numbers")
            << r
            << u"id,bundleID,appName,x,y,width,height,requiredDisplayName,isEnabled,cascadeWindows,"
               "capturedDisplayWidth"_s;
        r = fullRule();
        r.x = nan;
        QTest::newRow("nan x") << r << QString();
        r = fullRule();
        r.capturedDisplayWidth = std::numeric_limits<double>::infinity();
        QTest::newRow("inf captured width") << r << QString();
    }
    void encoding() {
        QFETCH(LockRule, rule);
        QFETCH(QString, keys);
        const auto json = encodeRules({rule, baseRule()});
        QCOMPARE(json.has_value(), !keys.isEmpty());
        if (!json)
            return;
        const QString text = QString::fromUtf8(json->left(json->indexOf("},{") + 1));
        QStringList written;
        static const QRegularExpression key(u"\"(\\w+)\":"_s);
        for (const auto& m : key.globalMatch(text))
            written.append(m.captured(1));
        QCOMPARE(written.join(u','), keys);
        QVERIFY(text.startsWith(u"[{\"id\":\""_s + rule.id.toString(QUuid::WithoutBraces).toUpper() + u'"'));

        const auto back = decodeRules(*json);
        QVERIFY(back.has_value());
        QCOMPARE(*back, (QList<LockRule>{rule, baseRule()}));
        QCOMPARE(back->first().bundleID, rule.bundleID); // exactly, not just equivalently
    }

    // Memberwise equality: texts by canonical equivalence, numbers numerically, absent unlike any value.
    void equality_data() {
        QTest::addColumn<LockRule>("other");
        QTest::addColumn<bool>("equal");
        const auto row = [](const char* name, bool equal, const std::function<void(LockRule&)>& edit) {
            LockRule other = fullRule();
            edit(other);
            QTest::newRow(name) << other << equal;
        };
        row("identical", true, [](LockRule&) {});
        row("differ only in id", false, [](LockRule& b) { b.id = QUuid::createUuid(); });
        row("name absent vs present", false, [](LockRule& b) { b.requiredDisplayName.reset(); });
        row("captured 0 vs absent", false, [](LockRule& b) { b.capturedDisplayOriginX.reset(); });
        row("differ in cascade", false, [](LockRule& b) { b.cascadeWindows = true; });
        row("canonically equivalent names", true, [](LockRule& b) { b.appName = u"Cafe\u0301"_s; });
        row("0 and -0", true, [](LockRule& b) { b.x = -0.0; });
    }
    void equality() {
        QFETCH(LockRule, other);
        QFETCH(bool, equal);
        QCOMPARE(fullRule() == other, equal);
        QCOMPARE(other == fullRule(), equal);
    }
};

QTEST_GUILESS_MAIN(TestLockRule)
#include "tst_lockrule.moc"
