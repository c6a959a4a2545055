#pragma once

#include "xdg/XdgBaseDirs.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

// The installed applications' desktop entries, looked up by window class: the entry whose StartupWMClass
// equals the class, else the one whose file name matches it regardless of case. Entries in
// $XDG_DATA_HOME hide those of the same name in $XDG_DATA_DIRS.
class DesktopEntryIndex {
public:
    struct Entry {
        QString name; // Name, in the user's language when the entry has it
        QString icon; // Icon: a theme icon name or an absolute path
    };

    // The entries of this session's data folders, named in its language.
    DesktopEntryIndex();
    // The entries of dirs' data folders, named for locale (a POSIX locale, as $LC_MESSAGES).
    DesktopEntryIndex(XdgBaseDirs dirs, QString locale);

    std::optional<Entry> find(const QString& windowClass);
    // Reads the entries now unless they are read and unchanged, so that a later find() is quick.
    void prepare();
    // The icon an entry names: the hicolor theme's scalable one drawn at 128 pixels unless a bitmap at
    // least that large exists, else its largest bitmap, else pixmaps; null if none.
    QImage loadIcon(const QString& icon) const;

private:
    // The folders searched for data, in order of precedence.
    QStringList dataDirs() const;
    void rebuild();
    QList<QDateTime> folderStamps() const;

    XdgBaseDirs m_dirs;
    QString m_locale;
    QHash<QString, Entry> m_byWmClass;
    QHash<QString, Entry> m_byFileName; // lower-case file name without .desktop
    QList<QDateTime> m_stamps;          // when each applications folder last changed, as of the last reading
    bool m_built = false;
};
