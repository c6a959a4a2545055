#pragma once

#include <QObject>
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

Q_SIGNALS:
    // The window system went away; nothing the backend reports is true any more.
    void connectionLost();

protected:
    DesktopBackend() = default;
};
