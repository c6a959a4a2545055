#pragma once

#include "core/platform/TrustSource.h"

class X11Connection;

// On X11 nothing asks the user for permission: windows can be moved whenever an EWMH window manager runs
// on a reachable display. The answer follows the window manager's own events, so one that is replaced,
// stops or comes back is noticed.
class X11TrustSource : public TrustSource {
public:
    explicit X11TrustSource(X11Connection& connection)
        : m_x(connection) {}

    bool isTrusted() const override;
    bool requestTrust() override { return isTrusted(); }

private:
    X11Connection& m_x;
};
