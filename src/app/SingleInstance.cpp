#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray activateMessage = "activate\n";
constexpr int answerTimeoutMs = 1000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + u"/kestrune.socket"_s;
    return QDir::tempPath() + u"/kestrune-"_s + QString::number(getuid()) + u".socket"_s;
}

bool SingleInstance::claim() {
    if (m_server)
        return true;
    // Someone answering on the socket is a running instance; ask it to come forward.
    QLocalSocket peer;
    peer.connectToServer(m_socketPath);
    if (peer.waitForConnected(answerTimeoutMs)) {
        peer.write(activateMessage);
        peer.waitForBytesWritten(answerTimeoutMs);
        peer.disconnectFromServer();
        return false;
    }
    // Nobody answers: whatever socket file is left belongs to an instance that died.
    QLocalServer::removeServer(m_socketPath);
    return listen();
}

bool SingleInstance::listen() {
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        delete server;
        // Lost a race against another instance starting at the same moment: it runs, and is asked to
        // come forward like any later launch would.
        QLocalSocket peer;
        peer.connectToServer(m_socketPath);
        if (peer.waitForConnected(answerTimeoutMs)) {
            peer.write(activateMessage);
            peer.waitForBytesWritten(answerTimeoutMs);
        }
        return false;
    }
    m_server = server;
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == activateMessage)
                        Q_EMIT activationRequested();
                }
                // A peer that sends endless garbage without a line end is cut off.
                if (socket->bytesAvailable() > 256)
                    socket->abort();
            });
        }
    });
    return true;
}
