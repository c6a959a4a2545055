#pragma once

#include <QString>

#include <memory>

class GlobalHotKeyService;
class PlacementKeyTapFactory;
class PlacementOverlayFactory;
class ScreenSource;
class TrustSource;
class WindowBackend;
class Workspace;

// Everything Kestrune needs of the desktop, from one backend: the window system's applications,
// windows, screens and keyboard, and the picker's panels.
class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;

    // What the backend drives, for the About box and diagnostics: "X11", or "none".
    virtual QString name() const = 0;
    virtual Workspace& workspace() = 0;
    virtual WindowBackend& windows() = 0;
    virtual ScreenSource& screens() = 0;
    virtual TrustSource& trust() = 0;
    virtual GlobalHotKeyService& hotKeys() = 0;
    virtual PlacementOverlayFactory& overlays() = 0;
    virtual PlacementKeyTapFactory& keyTaps() = 0;

protected:
    DesktopBackend() = default;
};

// The one place that picks the backend: X11 when an X display answers (whether a window manager runs
// is the trust question, followed while Kestrune runs); otherwise one that moves nothing, so the user
// interface still starts and shows why. Needs a QApplication.
std::unique_ptr<DesktopBackend> createDesktopBackend();
