#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Where the freedesktop.org base directories are for one environment: configuration and data of the
// user and of the system, and the session's runtime folder. Unset, empty and relative values (which the
// rules call invalid) give way to the defaults under the home folder and in /etc/xdg, /usr/local/share
// and /usr/share.
class XdgBaseDirs {
public:
    // The folders of this process's environment.
    XdgBaseDirs();
    // The folders environment names, with home as the user's home folder.
    XdgBaseDirs(const QProcessEnvironment& environment, const QString& home);

    // $XDG_CONFIG_HOME: the user's configuration.
    QString configHome() const { return m_configHome; }
    // $XDG_CONFIG_DIRS: the system's configuration, most important first.
    QStringList configDirs() const { return m_configDirs; }
    // $XDG_DATA_HOME: the user's data, which takes precedence over the system's.
    QString dataHome() const { return m_dataHome; }
    // $XDG_DATA_DIRS: the system's data, most important first.
    QStringList dataDirs() const { return m_dataDirs; }
    // $XDG_RUNTIME_DIR: the session's private folder for sockets and locks; empty when none is named.
    QString runtimeDir() const { return m_runtimeDir; }

private:
    QString m_configHome;
    QStringList m_configDirs;
    QString m_dataHome;
    QStringList m_dataDirs;
    QString m_runtimeDir;
};
