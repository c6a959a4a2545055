#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One Kestrune per user: the first process listens on a socket in the runtime folder; a later one
// asks it to show its settings window and steps aside.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/kestrune.socket, else a per-user name in the temporary folder.
    static QString defaultSocketPath();

    // True when this process is the one to run (it now listens). False when another instance answered;
    // it has been asked to come forward.
    bool claim();

Q_SIGNALS:
    // Another launch asked this instance to come forward.
    void activationRequested();

private:
    bool listen();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};
