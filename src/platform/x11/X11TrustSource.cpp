#include "platform/x11/X11TrustSource.h"

#include "platform/x11/X11Connection.h"

X11TrustSource::X11TrustSource(X11Connection* connection)
    : m_x(connection) {}

bool X11TrustSource::isTrusted() const {
    if (!m_x || !m_x->isConnected())
        return false;
    auto checkCookie =
        m_x->requestProperty(m_x->root(), m_x->atom(Atom::NetSupportingWmCheck), XCB_ATOM_WINDOW, 1);
    auto supportedCookie =
        m_x->requestProperty(m_x->root(), m_x->atom(Atom::NetSupported), XCB_ATOM_ATOM, 4096);
    const auto check = m_x->propertyList(checkCookie);
    const auto supported = m_x->propertyList(supportedCookie);
    bool trusted = false;
    // X11: a window manager that died leaves its root properties behind; only its check window, which
    // points at itself, proves it is still there.
    if (check && !check->isEmpty() && check->first() != XCB_NONE && supported &&
        supported->contains(m_x->atom(Atom::NetClientList))) {
        const xcb_window_t wmWindow = check->first();
        const auto self = m_x->propertyList(
            m_x->requestProperty(wmWindow, m_x->atom(Atom::NetSupportingWmCheck), XCB_ATOM_WINDOW, 1));
        trusted = self && !self->isEmpty() && self->first() == wmWindow;
    }
    m_x->drain();
    return trusted;
}
