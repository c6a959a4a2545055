#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

class QDBusServiceWatcher;

// Kestrune's script inside KWin and the session-bus service it talks to. The script reports windows
// with Report(); Kestrune's commands answer the calls to Next() the script keeps waiting (delayed D-Bus
// replies), so a command reaches KWin without a round trip of its own, also while the main thread sleeps
// inside a verified move. The script is loaded at start, loaded again whenever KWin comes back or the
// script stops polling, and unloaded when this object goes.
class KWinScript : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrune.KWin")

public:
    static constexpr const char* serviceName = "org.kestrune.Kestrune";
    static constexpr const char* objectPath = "/KWin";

    explicit KWinScript(QDBusConnection bus, QObject* parent = nullptr);
    ~KWinScript() override;

    // Takes the service name and loads the script, then waits for its first report; false when KWin's
    // scripting is not there, the name is taken or the script does not answer within the timeout.
    bool start(int timeoutMs = 3000);
    // Whether the script is loaded and waiting for commands, or being loaded again into a KWin that has
    // just replaced the one that ran it.
    bool isAnswering() const;
    // Loads the script again when it does not answer; returns whether it does now.
    bool revive();
    // Queues a command for the script; it leaves at once when a poll is waiting.
    void send(const QJsonObject& command);
    // KWin's own record of a window, read now (x, y, width, height are its frame); empty once it is gone.
    QVariantMap windowInfo(const QString& id) const;

public Q_SLOTS:
    // Called by the script.
    Q_SCRIPTABLE void Report(const QString& event);
    Q_SCRIPTABLE QString Next();

Q_SIGNALS:
    // One report of the script, parsed: {"type": "hello" | "added" | "removed" | "activated" | "placed" |
    // "pointer", ...}.
    void reported(const QJsonObject& event);
    // The script was loaded afresh: its next report is a "hello" listing every window.
    void reloaded();
    // The KWin that ran the script left the bus (it ended, or another replaced it).
    void kwinLeft();

private:
    struct Poll {
        QDBusMessage message;
        QDeadlineTimer expiry;
    };

    bool load();
    bool isPolling() const;
    void unload();
    void answer(Poll& poll, const QJsonArray& commands);
    void answerExpiredPolls();
    QDBusMessage callScripting(const QString& method, const QVariantList& arguments) const;
    bool isFromKWin() const;

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_kwinWatcher = nullptr;
    QString m_path;      // the script file KWin reads
    QString m_kwinOwner; // KWin's unique name on the bus
    QList<Poll> m_polls;
    QJsonArray m_queue;
    QTimer m_expiry;   // answers polls before D-Bus gives up on them
    QTimer m_watchdog; // loads the script again while it does not poll
    QTimer m_silence;  // notices a script that stopped polling
    QDeadlineTimer m_lastPoll;
    QDeadlineTimer m_replaced; // running: KWin was replaced and the script is not back yet
    bool m_isLoaded = false;
};
