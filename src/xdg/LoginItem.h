#pragma once

#include <QString>
#include <QStringList>

// Starting Kestrune at login through an XDG autostart entry ($XDG_CONFIG_HOME/autostart/kestrune.desktop).
class LoginItem {
public:
    // configHome: where the user's autostart folder lives; systemConfigDirs: where a packaged entry may be
    // ($XDG_CONFIG_DIRS). executable: what the entry starts.
    LoginItem(QString configHome, QStringList systemConfigDirs, QString executable);
    // The locations of the running session and this executable.
    static LoginItem forCurrentUser();

    // Whether the desktop will start Kestrune at the next login.
    bool isEnabled() const;
    // Writes the user's entry; false when it cannot be written.
    bool registerItem();
    // Removes the user's entry, or hides a packaged one; false when that cannot be done.
    bool unregisterItem();

    QString userEntryPath() const;

private:
    bool writeEntry(bool hidden) const;
    QString systemEntryPath() const;

    QString m_configHome;
    QStringList m_systemConfigDirs;
    QString m_executable;
};
