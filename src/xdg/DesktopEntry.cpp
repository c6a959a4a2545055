#include "xdg/DesktopEntry.h"

#include <QFile>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Far beyond any real entry; a larger file is not read into memory.
constexpr qint64 maximumSize = 1024 * 1024;

// The escapes of string values: the letter after the backslash, and the character it stands for.
constexpr std::pair<char16_t, char16_t> escapes[] = {
    {u'\\', u'\\'}, {u'n', u'\n'}, {u't', u'\t'}, {u'r', u'\r'}, {u's', u' '}};

QString unescape(QStringView text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto escape = std::find_if(std::begin(escapes), std::end(escapes), [&](const auto& e) {
            return text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == e.first;
        });
        // Other escapes belong to the key's own format (lists, Exec quoting): they are left for it.
        if (escape != std::end(escapes)) {
            plain += QChar(escape->second);
            ++i;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path) {
    QFile file(path);
    if (file.size() > maximumSize || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    DesktopEntry entry;
    bool found = false;
    bool inMain = false;
    for (const QByteArray& bytes : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.startsWith(u'[')) {
            inMain = line == "[Desktop Entry]"_L1;
            found = found || inMain;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inMain || eq <= 0 || line.startsWith(u'#'))
            continue;
        entry.m_values.insert(line.left(eq).trimmed(), unescape(QStringView(line).mid(eq + 1).trimmed()));
    }
    return found ? std::optional(entry) : std::nullopt;
}

QString DesktopEntry::localizedValue(const QString& key, const QString& locale) const {
    // The encoding plays no part in the choice.
    const qsizetype at = locale.indexOf(u'@');
    const QString modifier = at < 0 ? QString() : locale.mid(at);
    const QString langCountry = locale.left(at < 0 ? locale.size() : at).section(u'.', 0, 0);
    const QString lang = langCountry.section(u'_', 0, 0);
    QStringList candidates;
    if (langCountry != lang && !modifier.isEmpty())
        candidates << langCountry + modifier;
    if (langCountry != lang)
        candidates << langCountry;
    if (!modifier.isEmpty())
        candidates << lang + modifier;
    if (!lang.isEmpty())
        candidates << lang;
    for (const QString& candidate : std::as_const(candidates)) {
        if (auto it = m_values.constFind(key + u'[' + candidate + u']'); it != m_values.cend())
            return *it;
    }
    return value(key);
}

std::optional<bool> DesktopEntry::boolean(const QString& key) const {
    const QString text = value(key);
    if (text.compare("true"_L1, Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare("false"_L1, Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString DesktopEntry::escape(const QString& text) {
    QString escaped;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Only a blank at the start would be lost, taken for one of those around '='.
        const auto escape = std::find_if(std::begin(escapes), std::end(escapes), [&](const auto& e) {
            return text[i] == e.second && (e.first != u's' || i == 0);
        });
        if (escape != std::end(escapes))
            escaped.append(u'\\').append(QChar(escape->first));
        else
            escaped.append(text[i]);
    }
    return escaped;
}
