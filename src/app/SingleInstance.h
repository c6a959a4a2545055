#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class XdgBaseDirs;

// One Kestrune per user. The first process locks a file in the runtime folder and holds the lock for its
// life; only the holder listens on the socket next to it. A later one finds the lock taken, asks the
// holder through the socket to show its settings window and steps aside. The kernel drops the lock when
// its holder dies, however it dies, so a crashed instance's socket is taken over by the next start.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        Running,     // this process is the one to run; it listens now
        AnotherRuns, // another instance runs; it has been asked to come forward
        Failed,      // nothing was claimed; errorString() says why
    };

    // In the session's runtime folder, else in a private folder of this user's in the temporary folder,
    // made on first use and refused when anyone else could have prepared it.
    explicit SingleInstance(const XdgBaseDirs& dirs, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Decides, once for all launches at the same moment, whether this process is the one to run.
    Claim claim();
    // Why the claim failed, for the user.
    QString errorString() const { return m_error; }
    QString socketPath() const;

Q_SIGNALS:
    // Another launch asked this instance to come forward.
    void activationRequested();

private:
    bool preparePrivateFolder();
    bool listen();
    void askRunningInstance();

    QString m_folder;
    bool m_privateFolder = false;
    int m_lock = -1;
    QLocalServer* m_server = nullptr;
    QString m_error;
};
