#include "x11/X11TrustSource.h"

#include "x11/X11Connection.h"
#include "x11/X11WindowCache.h"

bool X11TrustSource::isTrusted() const {
    if (!m_x.isConnected())
        return false;
    // The window manager is followed through its events (its check window going, the root properties
    // changing), so that a poll while nothing happens costs no round trip.
    return m_x.cache().windowManager().supports(m_x.atom(Atom::NetClientList));
}
