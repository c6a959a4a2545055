#include "kwin/KWinDesktopBackend.h"

#include "core/desktop/Geometry.h"
#include "core/platform/TrustSource.h"
#include "kwin/KWinScript.h"
#include "kwin/KWinShortcuts.h"
#include "kwin/KWinWindowBackend.h"
#include "kwin/KWinWorkspace.h"
#include "null/QtScreenSource.h"
#include "x11/X11Connection.h"
#include "x11/X11KeyGrabs.h"
#include "x11/X11Keyboard.h"
#include "x11/X11ScreenSource.h"

#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QJsonArray>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Trusted while the script is loaded and answering; asking loads it again.
class ScriptTrust final : public TrustSource {
public:
    explicit ScriptTrust(KWinScript& script)
        : m_script(script) {}
    bool isTrusted() const override { return m_script.isAnswering(); }
    bool requestTrust() override { return m_script.revive(); }

private:
    KWinScript& m_script;
};

QJsonObject toJson(const QRectF& frame) {
    const QRect r = frame.toAlignedRect();
    return {{u"x"_s, r.x()}, {u"y"_s, r.y()}, {u"width"_s, r.width()}, {u"height"_s, r.height()}};
}

} // namespace

// The hot key on Wayland: the panel opens at the pointer, which only KWin knows, so its press waits for
// the script to tell where the pointer is (briefly: a script that does not answer does not hold it up).
class KWinDesktopBackend::FreshPointerHotKeys final : public GlobalHotKeyService {
public:
    FreshPointerHotKeys(KWinShortcuts& shortcuts, KWinScript& script)
        : m_shortcuts(shortcuts)
        , m_script(script) {}

    std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                 std::function<void()> onPress) override {
        return m_shortcuts.registerHotKey(keyCode, modifierMask, [this, onPress] {
            auto pending = std::make_shared<std::function<void()>>(onPress);
            auto* wait = new QObject(&m_script);
            const auto run = [pending, wait] {
                if (const auto press = std::exchange(*pending, {}))
                    press();
                wait->deleteLater();
            };
            QObject::connect(&m_script, &KWinScript::reported, wait, [run](const QJsonObject& event) {
                if (event.value(u"type"_s) == u"pointer"_s)
                    run();
            });
            QTimer::singleShot(pointerWaitMs, wait, run);
            m_script.send({{u"op"_s, u"pointer"_s}});
        });
    }

private:
    static constexpr int pointerWaitMs = 100;
    KWinShortcuts& m_shortcuts;
    KWinScript& m_script;
};

// Plasma on X11: the screens and keys of the X server, as the X11 backend has them, so that locks keep
// their displays and a combination another program holds is reported.
struct X11Session {
    explicit X11Session(X11Connection& x)
        : screens(x)
        , grabs(x) {}
    X11ScreenSource screens;
    X11KeyGrabs grabs;
    X11HotKeyService hotKeys{grabs};
    X11PlacementKeyTapFactory keyTaps{grabs};
};

// Plasma on Wayland: the screens as Qt has them (KWin's outputs, named by their connectors), the pointer
// as KWin reports it, and keys through the compositor's shortcut service: only it sees keys meant for
// other windows.
struct WaylandSession {
    WaylandSession(KWinWorkspace& workspace, KWinScript& script, const QDBusConnection& bus)
        : screens([&workspace] { return workspace.cursor(); })
        , shortcuts(bus)
        , hotKeys(shortcuts, script) {}
    QtScreenSource screens;
    KWinShortcuts shortcuts;
    KWinDesktopBackend::FreshPointerHotKeys hotKeys;
};

struct KWinDesktopBackend::Parts {
    QDBusConnection bus = QDBusConnection::sessionBus();
    KWinScript script{bus};
    // The X server of a Plasma X11 session, or Xwayland: the identity of X clients, their size steps.
    std::unique_ptr<X11Connection> xserver =
        qEnvironmentVariableIsEmpty("DISPLAY") ? nullptr : X11Connection::open();
    KWinWorkspace workspace{script, xserver.get()};
    std::unique_ptr<X11Session> x11 = xserver && QGuiApplication::platformName() == u"xcb"_s
                                          ? std::make_unique<X11Session>(*xserver)
                                          : nullptr;
    std::unique_ptr<WaylandSession> wayland =
        x11 ? nullptr : std::make_unique<WaylandSession>(workspace, script, bus);
    KWinWindowBackend windows{workspace, script, xserver.get(), [this] { return primaryOrigin(); }};
    ScriptTrust trust{script};

    // The primary screen's top-left corner in global coordinates.
    QPointF primaryOrigin() const {
        return x11 ? x11->screens.primaryOrigin() : QtScreenSource::primaryOrigin();
    }
};

bool KWinDesktopBackend::isAvailable() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(u"org.kde.KWin"_s).value();
}

std::unique_ptr<KWinDesktopBackend> KWinDesktopBackend::open() {
    if (!isAvailable())
        return nullptr;
    auto backend = std::unique_ptr<KWinDesktopBackend>(new KWinDesktopBackend());
    if (!backend->m_parts->script.start())
        return nullptr;
    return backend;
}

KWinDesktopBackend::KWinDesktopBackend()
    : m_parts(std::make_unique<Parts>()) {
    KWinScript& script = m_parts->script;
    // A script loaded afresh knows nothing yet: where locked windows and Kestrune's own go.
    connect(&script, &KWinScript::reloaded, this, [this] {
        sendPlacements();
        for (const QJsonObject& command : std::as_const(m_ownWindows))
            m_parts->script.send(command);
    });
    // On Wayland the compositor is the display server: when it goes, so does Kestrune's own connection,
    // whether or not Qt has noticed yet.
    if (m_parts->wayland)
        connect(&script, &KWinScript::kwinLeft, this, &DesktopBackend::connectionLost);
}

KWinDesktopBackend::~KWinDesktopBackend() = default;

QString KWinDesktopBackend::name() const {
    return u"KWin"_s;
}
Workspace& KWinDesktopBackend::workspace() {
    return m_parts->workspace;
}
WindowBackend& KWinDesktopBackend::windows() {
    return m_parts->windows;
}
ScreenSource& KWinDesktopBackend::screens() {
    if (m_parts->x11)
        return m_parts->x11->screens;
    return m_parts->wayland->screens;
}
TrustSource& KWinDesktopBackend::trust() {
    return m_parts->trust;
}
GlobalHotKeyService& KWinDesktopBackend::hotKeys() {
    if (m_parts->x11)
        return m_parts->x11->hotKeys;
    return m_parts->wayland->hotKeys;
}
PlacementKeyTapFactory& KWinDesktopBackend::keyTaps() {
    if (m_parts->x11)
        return m_parts->x11->keyTaps;
    return m_parts->wayland->shortcuts;
}
QRectF KWinDesktopBackend::globalFrame(const QRectF& appKitFrame) {
    if (m_parts->x11)
        return flipRect(appKitFrame, m_parts->x11->screens).translated(m_parts->primaryOrigin());
    return QtScreenSource::globalFrame(appKitFrame);
}

// KWin on Wayland always composites; on X11 it says whether its compositor is on.
bool KWinDesktopBackend::isCompositing() {
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        return true;
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.kde.KWin"_s, u"/Compositor"_s,
                                                       u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    call << u"org.kde.kwin.Compositing"_s << u"active"_s;
    const QDBusMessage reply = m_parts->bus.call(call, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void KWinDesktopBackend::setPlacements(const QList<WindowPlacement>& placements) {
    if (placements == m_placements)
        return;
    m_placements = placements;
    sendPlacements();
}

void KWinDesktopBackend::sendPlacements() {
    // The script matches a window's class without regard to case: KWin lower-cases X clients' classes.
    const QPointF origin = m_parts->primaryOrigin();
    QJsonObject table;
    for (const WindowPlacement& placement : std::as_const(m_placements)) {
        QJsonArray frames;
        for (const QRectF& frame : placement.frames)
            frames.append(toJson(frame.translated(origin)));
        const QString key = placement.bundleID.toLower();
        if (!table.contains(key))
            table.insert(key, frames);
    }
    m_parts->script.send({{u"op"_s, u"placements"_s}, {u"placements"_s, table}});
}

void KWinDesktopBackend::placeOwnWindow(const QString& title, const QRect& frame, bool activate) {
    const QJsonObject command{{u"op"_s, u"own"_s},
                              {u"caption"_s, title},
                              {u"frame"_s, toJson(frame)},
                              {u"above"_s, true},
                              {u"activate"_s, activate}};
    m_ownWindows.insert(title, command);
    m_parts->script.send(command);
}

void KWinDesktopBackend::activateOwnWindow(const QString& title) {
    m_parts->script.send({{u"op"_s, u"activateOwn"_s}, {u"caption"_s, title}});
}
