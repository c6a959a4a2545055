#pragma once

#include "core/platform/PlatformTypes.h"

#include <QObject>
#include <QRect>
#include <QRectF>
#include <QString>

class GlobalHotKeyService;
class PlacementKeyTapFactory;
class ScreenSource;
class TrustSource;
class WindowBackend;
class Workspace;

// Everything Kestrune needs of the desktop, from one backend: the window system's applications,
// windows, screens and keyboard, and where the picker's panels go.
class DesktopBackend : public QObject {
    Q_OBJECT

public:
    // What the backend drives, for the About box and diagnostics: "X11", or "none".
    virtual QString name() const = 0;
    virtual Workspace& workspace() = 0;
    virtual WindowBackend& windows() = 0;
    virtual ScreenSource& screens() = 0;
    virtual TrustSource& trust() = 0;
    virtual GlobalHotKeyService& hotKeys() = 0;
    virtual PlacementKeyTapFactory& keyTaps() = 0;
    // Where a panel with this AppKit-space frame goes in Qt's global coordinates.
    virtual QRectF globalFrame(const QRectF& appKitFrame) = 0;
    // Whether a compositing manager runs, so that translucent windows show as such.
    virtual bool isCompositing() = 0;
    // Where locked applications' next windows go, for a window system that places them before they are
    // first shown; kept current by the caller. Others ignore it: the lock engine moves windows once
    // they are shown.
    virtual void setPlacements(const QList<WindowPlacement>& placements) { Q_UNUSED(placements); }
    // Where one of Kestrune's own frameless windows goes (Qt's global coordinates), named by its title, for
    // a window system where it cannot place itself (Wayland); told before it shows. activate: it takes
    // the focus when it shows.
    virtual void placeOwnWindow(const QString& title, const QRect& frame, bool activate) {
        Q_UNUSED(title);
        Q_UNUSED(frame);
        Q_UNUSED(activate);
    }
    // Brings one of Kestrune's own windows forward, named by its title, where the window system ignores
    // a window asking for it itself (Wayland).
    virtual void activateOwnWindow(const QString& title) { Q_UNUSED(title); }

Q_SIGNALS:
    // The window system went away; nothing the backend reports is true any more.
    void connectionLost();

protected:
    DesktopBackend() = default;
};
