#include "xdg/XdgBaseDirs.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString folder(const QProcessEnvironment& environment, const QString& variable, const QString& fallback) {
    const QString value = environment.value(variable);
    return QDir::isAbsolutePath(value) ? value : fallback;
}

// A list of folders: its relative members are left out, and the default stands in when none remains.
QStringList folders(const QProcessEnvironment& environment, const QString& variable,
                    const QStringList& fallback) {
    QStringList absolute = environment.value(variable).split(u':', Qt::SkipEmptyParts);
    absolute.removeIf([](const QString& dir) { return !QDir::isAbsolutePath(dir); });
    return absolute.isEmpty() ? fallback : absolute;
}

} // namespace

XdgBaseDirs::XdgBaseDirs()
    : XdgBaseDirs(QProcessEnvironment::systemEnvironment(), QDir::homePath()) {}

XdgBaseDirs::XdgBaseDirs(const QProcessEnvironment& environment, const QString& home)
    : m_configHome(folder(environment, u"XDG_CONFIG_HOME"_s, home + u"/.config"_s))
    , m_configDirs(folders(environment, u"XDG_CONFIG_DIRS"_s, {u"/etc/xdg"_s}))
    , m_dataHome(folder(environment, u"XDG_DATA_HOME"_s, home + u"/.local/share"_s))
    , m_dataDirs(folders(environment, u"XDG_DATA_DIRS"_s, {u"/usr/local/share"_s, u"/usr/share"_s}))
    , m_runtimeDir(folder(environment, u"XDG_RUNTIME_DIR"_s, QString())) {}
