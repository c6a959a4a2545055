#include "xdg/LoginItem.h"

#include "xdg/DesktopEntry.h"
#include "xdg/XdgBaseDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

const QString entryName = u"autostart/kestrune.desktop"_s;

// An entry is off when it is hidden or switched off by the desktop's own autostart settings; a file
// without a [Desktop Entry] group starts nothing.
bool entryEnabled(const QString& path) {
    const auto entry = DesktopEntry::read(path);
    return entry && entry->boolean(u"Hidden"_s) != true &&
           entry->boolean(u"X-GNOME-Autostart-enabled"_s) != false;
}

// Exec= quoting: the program in double quotes, with the characters that stay special inside them escaped.
// The value's own escapes come on top of that.
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

} // namespace

LoginItem::LoginItem(QString configHome, QStringList systemConfigDirs, QString executable)
    : m_configHome(std::move(configHome))
    , m_systemConfigDirs(std::move(systemConfigDirs))
    , m_executable(std::move(executable)) {}

LoginItem LoginItem::forCurrentUser() {
    const XdgBaseDirs dirs;
    return LoginItem(dirs.configHome(), dirs.configDirs(), QCoreApplication::applicationFilePath());
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
                   DesktopEntry::escape(quoteExec(m_executable)) + u"\nTerminal=false\n"_s;
    text += hidden ? u"Hidden=true\n"_s : u"X-GNOME-Autostart-enabled=true\n"_s;
    file.write(text.toUtf8());
    return file.commit();
}
