#include "app/SingleInstance.h"

#include "xdg/XdgBaseDirs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray activateMessage = "activate\n";
// The lock holder may still be on its way from taking the lock to listening.
constexpr int answerTimeoutMs = 5000;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SingleInstance::SingleInstance(const XdgBaseDirs& dirs, QObject* parent)
    : QObject(parent) {
    const QString runtime = dirs.runtimeDir();
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        m_folder = runtime;
    } else {
        m_folder = QDir::tempPath() + u"/kestrune-"_s + QString::number(geteuid());
        m_privateFolder = true;
    }
}

SingleInstance::~SingleInstance() {
    delete m_server; // removes the socket while the lock is still held
    if (m_lock >= 0)
        close(m_lock);
}

QString SingleInstance::socketPath() const {
    return m_folder + u"/kestrune.socket"_s;
}

SingleInstance::Claim SingleInstance::claim() {
    if (m_server)
        return Claim::Running;
    if (m_privateFolder && !preparePrivateFolder())
        return Claim::Failed;
    const QString lockPath = m_folder + u"/kestrune.lock"_s;
    const int lock =
        open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) {
        m_error = u"cannot open %1: %2"_s.arg(lockPath, systemError(errno));
        return Claim::Failed;
    }
    // The one atomic decision: whoever holds the lock runs.
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(lock);
        if (error != EWOULDBLOCK) {
            m_error = u"cannot lock %1: %2"_s.arg(lockPath, systemError(error));
            return Claim::Failed;
        }
        askRunningInstance();
        return Claim::AnotherRuns;
    }
    m_lock = lock;
    // Any socket left here belongs to an instance that died: nobody else can hold the lock.
    QLocalServer::removeServer(socketPath());
    if (!listen()) {
        close(m_lock);
        m_lock = -1;
        return Claim::Failed;
    }
    return Claim::Running;
}

// Without a runtime folder the socket and the lock live in the shared temporary folder. The folder for
// them must be ours alone, or another user could hold our lock or answer on our socket.
bool SingleInstance::preparePrivateFolder() {
    const QByteArray path = QFile::encodeName(m_folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        m_error = u"cannot make the folder %1: %2"_s.arg(m_folder, systemError(errno));
        return false;
    }
    struct stat info {};
    if (lstat(path.constData(), &info) != 0) {
        m_error = u"cannot read the folder %1: %2"_s.arg(m_folder, systemError(errno));
        return false;
    }
    QString problem;
    if (S_ISLNK(info.st_mode))
        problem = u"it is a symbolic link"_s;
    else if (!S_ISDIR(info.st_mode))
        problem = u"it is not a folder"_s;
    else if (info.st_uid != geteuid())
        problem = u"it belongs to another user"_s;
    else if ((info.st_mode & 077) != 0)
        problem = u"other users can open it"_s;
    if (problem.isEmpty())
        return true;
    m_error =
        u"the folder %1 is not private (%2); remove it, or set XDG_RUNTIME_DIR"_s.arg(m_folder, problem);
    return false;
}

void SingleInstance::askRunningInstance() {
    const QDeadlineTimer deadline(answerTimeoutMs);
    do {
        QLocalSocket peer;
        peer.connectToServer(socketPath());
        if (peer.waitForConnected(int(deadline.remainingTime()))) {
            peer.write(activateMessage);
            peer.waitForBytesWritten(int(deadline.remainingTime()));
            peer.disconnectFromServer();
            return;
        }
        QThread::msleep(20);
    } while (!deadline.hasExpired());
    qWarning("Kestrune already runs but does not answer on %s", qPrintable(socketPath()));
}

bool SingleInstance::listen() {
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath())) {
        m_error = u"cannot listen on %1: %2"_s.arg(socketPath(), server->errorString());
        delete server;
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
