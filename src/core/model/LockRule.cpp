#include "core/model/LockRule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// --- writing ------------------------------------------------------------------------------------------

// JSON string with escapes for quotes, backslashes and control characters. A lone surrogate is
// written as a \u escape so that whatever text was read comes back unchanged.
void appendString(QByteArray& out, const QString& text) {
    out += '"';
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        if (end > runStart)
            out += QStringView(text).sliced(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        const bool pairedHigh = QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                                QChar::isLowSurrogate(text.at(i + 1).unicode());
        if (pairedHigh) {
            ++i;
            continue;
        }
        const bool plain = u >= 0x20 && u != u'"' && u != u'\\' && !QChar::isSurrogate(u);
        if (plain)
            continue;
        flush(i);
        runStart = i + 1;
        switch (u) {
        case u'"':
            out += "\\\"";
            break;
        case u'\\':
            out += "\\\\";
            break;
        case u'\b':
            out += "\\b";
            break;
        case u'\f':
            out += "\\f";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            out += "\\u";
            out += QByteArray::number(u, 16).rightJustified(4, '0');
        }
    }
    flush(text.size());
    out += '"';
}

class ObjectWriter {
public:
    explicit ObjectWriter(QByteArray& out)
        : m_out(out) {
        m_out += '{';
    }
    void text(const char* key, const QString& value) {
        this->key(key);
        appendString(m_out, value);
    }
    void boolean(const char* key, bool value) {
        this->key(key);
        m_out += value ? "true" : "false";
    }
    void number(const char* key, double value) {
        if (!std::isfinite(value)) {
            m_failed = true;
            return;
        }
        this->key(key);
        m_out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    }
    // Absent optionals are left out, never written as null.
    void text(const char* key, const std::optional<QString>& value) {
        if (value)
            text(key, *value);
    }
    void number(const char* key, const std::optional<double>& value) {
        if (value)
            number(key, *value);
    }
    bool finish() {
        m_out += '}';
        return !m_failed;
    }

private:
    void key(const char* name) {
        if (!m_first)
            m_out += ',';
        m_first = false;
        m_out += '"';
        m_out += name;
        m_out += "\":";
    }

    QByteArray& m_out;
    bool m_first = true;
    bool m_failed = false;
};

bool writeRule(QByteArray& out, const LockRule& r) {
    ObjectWriter w(out);
    w.text("id", r.id.toString(QUuid::WithoutBraces).toUpper());
    w.text("bundleID", r.bundleID);
    w.text("appName", r.appName);
    w.number("x", r.x);
    w.number("y", r.y);
    w.number("width", r.width);
    w.number("height", r.height);
    w.text("requiredDisplayID", r.requiredDisplayID);
    w.text("requiredDisplayName", r.requiredDisplayName);
    w.boolean("isEnabled", r.isEnabled);
    w.boolean("cascadeWindows", r.cascadeWindows);
    w.number("capturedDisplayOriginX", r.capturedDisplayOriginX);
    w.number("capturedDisplayOriginY", r.capturedDisplayOriginY);
    w.number("capturedDisplayWidth", r.capturedDisplayWidth);
    w.number("capturedDisplayHeight", r.capturedDisplayHeight);
    return w.finish();
}

// --- reading ------------------------------------------------------------------------------------------

// Only the 36-character hyphenated form, hex digits in either case.
std::optional<QUuid> parseUuid(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenSlot ? c != u'-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

// Reads one object's keys; the first missing required key or wrongly typed value marks it failed.
class ObjectReader {
public:
    explicit ObjectReader(const QJsonObject& object)
        : m_object(object) {}

    QString text(QLatin1StringView key) {
        const QJsonValue v = m_object.value(key);
        if (!v.isString())
            m_failed = true;
        return v.toString();
    }
    double number(QLatin1StringView key) {
        const QJsonValue v = m_object.value(key);
        if (!v.isDouble())
            m_failed = true;
        return v.toDouble();
    }
    std::optional<QString> optionalText(QLatin1StringView key) {
        const QJsonValue v = m_object.value(key);
        if (isAbsent(v))
            return std::nullopt;
        return text(key);
    }
    std::optional<double> optionalNumber(QLatin1StringView key) {
        const QJsonValue v = m_object.value(key);
        if (isAbsent(v))
            return std::nullopt;
        return number(key);
    }
    // Missing or null reads as true.
    bool flag(QLatin1StringView key) {
        const QJsonValue v = m_object.value(key);
        if (isAbsent(v))
            return true;
        if (!v.isBool())
            m_failed = true;
        return v.toBool();
    }
    bool failed() const { return m_failed; }

private:
    static bool isAbsent(const QJsonValue& v) { return v.isUndefined() || v.isNull(); }

    const QJsonObject& m_object;
    bool m_failed = false;
};

// The record of one stored object; none when a required key is missing or a type is wrong.
std::optional<LockRule> readRule(const QJsonObject& object) {
    ObjectReader in(object);
    LockRule r;
    const auto id = parseUuid(in.text("id"_L1));
    r.bundleID = in.text("bundleID"_L1);
    r.appName = in.text("appName"_L1);
    r.x = in.number("x"_L1);
    r.y = in.number("y"_L1);
    r.width = in.number("width"_L1);
    r.height = in.number("height"_L1);
    r.requiredDisplayID = in.optionalText("requiredDisplayID"_L1);
    r.requiredDisplayName = in.optionalText("requiredDisplayName"_L1);
    r.isEnabled = in.flag("isEnabled"_L1);
    r.cascadeWindows = in.flag("cascadeWindows"_L1);
    r.capturedDisplayOriginX = in.optionalNumber("capturedDisplayOriginX"_L1);
    r.capturedDisplayOriginY = in.optionalNumber("capturedDisplayOriginY"_L1);
    r.capturedDisplayWidth = in.optionalNumber("capturedDisplayWidth"_L1);
    r.capturedDisplayHeight = in.optionalNumber("capturedDisplayHeight"_L1);
    if (in.failed() || !id)
        return std::nullopt;
    r.id = *id;
    return r;
}

} // namespace

bool sameText(const QString& a, const QString& b) {
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

bool sameText(const std::optional<QString>& a, const std::optional<QString>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameText(*a, *b);
}

bool operator==(const LockRule& a, const LockRule& b) {
    return a.id == b.id && sameText(a.bundleID, b.bundleID) && sameText(a.appName, b.appName) && a.x == b.x &&
           a.y == b.y && a.width == b.width && a.height == b.height &&
           sameText(a.requiredDisplayID, b.requiredDisplayID) &&
           sameText(a.requiredDisplayName, b.requiredDisplayName) && a.isEnabled == b.isEnabled &&
           a.cascadeWindows == b.cascadeWindows && a.capturedDisplayOriginX == b.capturedDisplayOriginX &&
           a.capturedDisplayOriginY == b.capturedDisplayOriginY &&
           a.capturedDisplayWidth == b.capturedDisplayWidth &&
           a.capturedDisplayHeight == b.capturedDisplayHeight;
}

std::optional<QByteArray> encodeRules(const QList<LockRule>& rules) {
    QByteArray out;
    out += '[';
    for (qsizetype i = 0; i < rules.size(); ++i) {
        if (i > 0)
            out += ',';
        if (!writeRule(out, rules.at(i)))
            return std::nullopt;
    }
    out += ']';
    return out;
}

std::optional<QList<LockRule>> decodeRules(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<LockRule> rules;
    rules.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return std::nullopt;
        auto rule = readRule(element.toObject());
        if (!rule)
            return std::nullopt;
        rules.append(std::move(*rule));
    }
    return rules;
}
