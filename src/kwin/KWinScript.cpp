#include "kwin/KWinScript.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

const QString kwinService = u"org.kde.KWin"_s;
const QString scriptName = u"kestrune"_s;
// D-Bus gives up on a call after 25 s: a poll is answered, empty if need be, before that.
constexpr int pollLifetimeMs = 20000;
// A script that has made no poll for this long is loaded again.
constexpr int silenceMs = 30000;
// How often a script that is not answering is loaded again, while KWin is there.
constexpr int watchdogMs = 500;
// How long a replaced KWin (a restart, an update) may take to run the script again before Kestrune stops
// counting on it: locks stay in force meanwhile, so windows opened then are still placed.
constexpr int replacementMs = 5000;

QString toJson(const QJsonArray& commands) {
    return QString::fromUtf8(QJsonDocument(commands).toJson(QJsonDocument::Compact));
}

} // namespace

KWinScript::KWinScript(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &KWinScript::answerExpiredPolls);
    // Idle costs nothing: the watchdog runs only while the script is not polling, and the silence check
    // only while no poll waits.
    m_watchdog.setInterval(watchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (isPolling())
            m_watchdog.stop();
        else if (!m_kwinOwner.isEmpty())
            load();
    });
    m_silence.setSingleShot(true);
    m_silence.setInterval(silenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        if (m_polls.isEmpty())
            m_watchdog.start();
    });
    m_kwinWatcher =
        new QDBusServiceWatcher(kwinService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_kwinWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& previous, const QString& owner) {
                // Polls of a KWin that went cannot be answered; the watchdog loads the script into the
                // new one as soon as its scripting answers.
                m_kwinOwner = owner;
                if (!previous.isEmpty())
                    Q_EMIT kwinLeft();
                if (m_isLoaded)
                    m_replaced = QDeadlineTimer(replacementMs);
                m_isLoaded = false;
                m_polls.clear();
                if (!owner.isEmpty())
                    load();
                m_watchdog.start();
            });
}

KWinScript::~KWinScript() {
    if (m_isLoaded)
        callScripting(u"unloadScript"_s, {scriptName});
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
    m_bus.unregisterService(QString::fromLatin1(serviceName));
}

bool KWinScript::start(int timeoutMs) {
    if (!m_bus.isConnected() || !m_bus.registerService(QString::fromLatin1(serviceName)) ||
        !m_bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportScriptableSlots))
        return false;
    m_kwinOwner = m_bus.interface()->serviceOwner(kwinService).value();
    bool greeted = false;
    QEventLoop loop;
    connect(this, &KWinScript::reported, &loop, [&](const QJsonObject& event) {
        if (event.value(u"type"_s) == u"hello"_s) {
            greeted = true;
            loop.quit();
        }
    });
    if (!load())
        return false;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return greeted;
}

bool KWinScript::isPolling() const {
    return m_isLoaded && (!m_polls.isEmpty() || !m_lastPoll.hasExpired());
}

bool KWinScript::isAnswering() const {
    return isPolling() || !m_replaced.hasExpired();
}

bool KWinScript::revive() {
    if (!isPolling())
        load();
    return isAnswering();
}

QDBusMessage KWinScript::callScripting(const QString& method, const QVariantList& arguments) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kwinService, u"/Scripting"_s, u"org.kde.kwin.Scripting"_s, method);
    call.setArguments(arguments);
    return m_bus.call(call, QDBus::Block, 2000);
}

bool KWinScript::load() {
    m_isLoaded = false;
    m_polls.clear();
    m_queue = {};
    QFile source(u":/kwin/kestrune.js"_s);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_path = folder + u"/kestrune-kwin.js"_s;
    QSaveFile file(m_path);
    if (!source.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly) ||
        file.write(source.readAll()) < 0 || !file.commit())
        return false;
    // A script left behind by a Kestrune that did not end cleanly would keep its name taken.
    callScripting(u"unloadScript"_s, {scriptName});
    const QDBusMessage loaded = callScripting(u"loadScript"_s, {m_path, scriptName});
    if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().value(0).toInt() < 0)
        return false;
    if (callScripting(u"start"_s, {}).type() != QDBusMessage::ReplyMessage)
        return false;
    m_isLoaded = true;
    m_replaced = QDeadlineTimer();
    m_lastPoll = QDeadlineTimer(silenceMs);
    m_silence.start();
    send({{u"op"_s, u"session"_s}, {u"pid"_s, qint64(QCoreApplication::applicationPid())}});
    Q_EMIT reloaded();
    return true;
}

void KWinScript::send(const QJsonObject& command) {
    m_queue.append(command);
    if (m_polls.isEmpty())
        return;
    Poll poll = m_polls.takeFirst();
    answer(poll, std::exchange(m_queue, {}));
    if (m_polls.isEmpty())
        m_silence.start();
}

void KWinScript::answer(Poll& poll, const QJsonArray& commands) {
    m_bus.send(poll.message.createReply(toJson(commands)));
}

void KWinScript::answerExpiredPolls() {
    for (auto it = m_polls.begin(); it != m_polls.end();) {
        if (it->expiry.hasExpired()) {
            answer(*it, {});
            it = m_polls.erase(it);
            if (m_polls.isEmpty())
                m_silence.start();
        } else {
            ++it;
        }
    }
    if (!m_polls.isEmpty())
        m_expiry.start(int(std::max<qint64>(0, m_polls.first().expiry.remainingTime())));
}

// Only KWin speaks for the script: another program on the bus could otherwise take Kestrune's commands or
// make up windows.
bool KWinScript::isFromKWin() const {
    return !m_kwinOwner.isEmpty() && message().service() == m_kwinOwner;
}

void KWinScript::Report(const QString& event) {
    if (!isFromKWin())
        return;
    const QJsonDocument document = QJsonDocument::fromJson(event.toUtf8());
    if (document.isObject())
        Q_EMIT reported(document.object());
}

QString KWinScript::Next() {
    if (!isFromKWin())
        return u"[]"_s;
    m_lastPoll = QDeadlineTimer(silenceMs);
    if (!m_queue.isEmpty())
        return toJson(std::exchange(m_queue, {}));
    setDelayedReply(true);
    m_polls.append({message(), QDeadlineTimer(pollLifetimeMs)});
    if (!m_expiry.isActive())
        m_expiry.start(pollLifetimeMs);
    return {};
}

QVariantMap KWinScript::windowInfo(const QString& id) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kwinService, u"/KWin"_s, u"org.kde.KWin"_s, u"getWindowInfo"_s);
    call << id;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qdbus_cast<QVariantMap>(reply.arguments().constFirst());
}
