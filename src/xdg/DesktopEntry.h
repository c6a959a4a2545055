#pragma once

#include <QHash>
#include <QString>

#include <optional>

// The [Desktop Entry] group of a desktop entry file as desktops read it: comments, blank lines and other
// groups skipped, blanks around '=' ignored, the escapes of string values (\s \n \t \r \\) undone, and
// localized keys such as Name[de_DE] chosen for the user's locale.
class DesktopEntry {
public:
    // None when the file cannot be read, is implausibly large or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> read(const QString& path);

    // The value of key; empty when it is absent.
    QString value(const QString& key) const { return m_values.value(key); }
    // The value of key for locale, a POSIX locale such as $LC_MESSAGES (lang_COUNTRY.ENCODING@MODIFIER):
    // key[lang_COUNTRY@MODIFIER], key[lang_COUNTRY], key[lang@MODIFIER], key[lang], else key itself.
    QString localizedValue(const QString& key, const QString& locale) const;
    // The value of key as a boolean; none when it is absent or neither true nor false.
    std::optional<bool> boolean(const QString& key) const;

    // text written as a string value, so that reading it back gives text.
    static QString escape(const QString& text);

private:
    QHash<QString, QString> m_values; // escapes undone
};
