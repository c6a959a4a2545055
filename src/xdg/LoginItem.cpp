#include "xdg/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

const QString entryName = u"autostart/kestrune.desktop"_s;

// An entry is off when it is hidden or switched off by the desktop's own autostart settings.
bool entryEnabled(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]"_s;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed().toLower();
        if ((key == u"Hidden"_s && value == u"true"_s) ||
            (key == u"X-GNOME-Autostart-enabled"_s && value == u"false"_s))
            return false;
    }
    return true;
}

// Exec= quoting of the desktop entry format: reserved characters inside double quotes are escaped.
QString quoteExec(const QString& program) {
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    // '%' introduces field codes and is doubled wherever it stands.
    quoted.replace(u"%"_s, u"%%"_s);
    return u'"' + quoted + u'"';
}

QString absoluteOr(const QString& dir, const QString& fallback) {
    return !dir.isEmpty() && QDir::isAbsolutePath(dir) ? dir : fallback;
}

} // namespace

LoginItem::LoginItem(QString configHome, QStringList systemConfigDirs, QString executable)
    : m_configHome(std::move(configHome))
    , m_systemConfigDirs(std::move(systemConfigDirs))
    , m_executable(std::move(executable)) {}

LoginItem LoginItem::forCurrentUser() {
    const QString home =
        absoluteOr(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath() + u"/.config"_s);
    QStringList dirs;
    for (const QString& d : qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(d))
            dirs.append(d);
    }
    if (dirs.isEmpty())
        dirs.append(u"/etc/xdg"_s);
    return LoginItem(home, dirs, QCoreApplication::applicationFilePath());
}

QString LoginItem::userEntryPath() const {
    return m_configHome + u'/' + entryName;
}

QString LoginItem::systemEntryPath() const {
    for (const QString& dir : m_systemConfigDirs) {
        const QString path = dir + u'/' + entryName;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

bool LoginItem::isEnabled() const {
    // The user's entry overrides a packaged one of the same name.
    if (QFileInfo::exists(userEntryPath()))
        return entryEnabled(userEntryPath());
    const QString system = systemEntryPath();
    return !system.isEmpty() && entryEnabled(system);
}

bool LoginItem::registerItem() {
    return writeEntry(false) && isEnabled();
}

bool LoginItem::unregisterItem() {
    // With a packaged entry, removing ours would let it start Kestrune again: hide it instead.
    if (!systemEntryPath().isEmpty())
        return writeEntry(true) && !isEnabled();
    if (QFileInfo::exists(userEntryPath()) && !QFile::remove(userEntryPath()))
        return false;
    return !isEnabled();
}

bool LoginItem::writeEntry(bool hidden) const {
    if (!QDir().mkpath(QFileInfo(userEntryPath()).absolutePath()))
        return false;
    QSaveFile file(userEntryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString text = u"[Desktop Entry]\n"
                   u"Type=Application\n"
                   u"Name=Kestrune\n"
                   u"Comment=Keeps chosen applications' windows at a saved place and size\n"
                   u"Icon=kestrune\n"
                   u"Exec="_s +
                   quoteExec(m_executable) + u"\nTerminal=false\n"_s;
    text += hidden ? u"Hidden=true\n"_s : u"X-GNOME-Autostart-enabled=true\n"_s;
    file.write(text.toUtf8());
    return file.commit();
}
