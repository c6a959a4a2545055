#include "x11/X11DesktopBackend.h"

#include "core/desktop/Geometry.h"
#include "x11/X11Connection.h"
#include "x11/X11Keyboard.h"
#include "x11/X11KeyGrabs.h"
#include "x11/X11ScreenSource.h"
#include "x11/X11TrustSource.h"
#include "x11/X11WindowBackend.h"
#include "x11/X11Workspace.h"

using namespace Qt::StringLiterals;

struct X11DesktopBackend::Parts {
    explicit Parts(std::unique_ptr<X11Connection> x)
        : connection(std::move(x)) {}

    std::unique_ptr<X11Connection> connection;
    X11ScreenSource screens{*connection};
    X11WindowBackend windows{*connection, screens};
    X11Workspace workspace{*connection};
    X11TrustSource trust{*connection};
    X11KeyGrabs keyGrabs{*connection};
    X11HotKeyService hotKeys{keyGrabs};
    X11PlacementKeyTapFactory keyTaps{keyGrabs};
};

std::unique_ptr<X11DesktopBackend> X11DesktopBackend::open(const QByteArray& displayName) {
    auto connection = X11Connection::open(displayName);
    if (!connection)
        return nullptr;
    auto backend = std::unique_ptr<X11DesktopBackend>(
        new X11DesktopBackend(std::make_unique<Parts>(std::move(connection))));
    X11DesktopBackend* self = backend.get();
    QObject::connect(self->m_parts->connection.get(), &X11Connection::connectionLost, self,
                     &DesktopBackend::connectionLost);
    return backend;
}

X11DesktopBackend::X11DesktopBackend(std::unique_ptr<Parts> parts)
    : m_parts(std::move(parts)) {}

X11DesktopBackend::~X11DesktopBackend() = default;

QString X11DesktopBackend::name() const {
    return u"X11"_s;
}
Workspace& X11DesktopBackend::workspace() {
    return m_parts->workspace;
}
WindowBackend& X11DesktopBackend::windows() {
    return m_parts->windows;
}
ScreenSource& X11DesktopBackend::screens() {
    return m_parts->screens;
}
TrustSource& X11DesktopBackend::trust() {
    return m_parts->trust;
}
GlobalHotKeyService& X11DesktopBackend::hotKeys() {
    return m_parts->hotKeys;
}
PlacementKeyTapFactory& X11DesktopBackend::keyTaps() {
    return m_parts->keyTaps;
}

// Qt's global coordinates are the root window's: AppKit space turned into accessibility space, shifted
// by the primary monitor's corner.
QRectF X11DesktopBackend::globalFrame(const QRectF& appKitFrame) {
    return flipRect(appKitFrame, m_parts->screens).translated(m_parts->screens.primaryOrigin());
}

bool X11DesktopBackend::isCompositing() {
    X11Connection& x = *m_parts->connection;
    if (!x.isConnected())
        return false;
    // A compositing manager owns the _NET_WM_CM_S<screen> selection.
    const QByteArray name = "_NET_WM_CM_S0";
    XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        x.xcb(), xcb_intern_atom(x.xcb(), 1, uint16_t(name.size()), name.constData()), nullptr));
    if (!atom || atom->atom == XCB_NONE) {
        x.drain();
        return false;
    }
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(x.xcb(), xcb_get_selection_owner(x.xcb(), atom->atom), nullptr));
    x.drain();
    return owner && owner->owner != XCB_NONE;
}
