#pragma once

#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

// One numbered place the user can pick.
struct PlacementOption {
    int index = 0;      // the number shown and reported; 1, 2, 3 ... in the order given
    QString title;      // a line under the number (a display name)
    QRectF appKitFrame; // where the panel goes, AppKit space

    friend bool operator==(const PlacementOption&, const PlacementOption&) = default;
};

// A shown overlay panel; destroying it takes it off the screen. It may be destroyed from inside its own
// onClick, so implementations must not touch themselves after calling it.
class PlacementOverlayWindow {
public:
    virtual ~PlacementOverlayWindow() = default;

protected:
    PlacementOverlayWindow() = default;
};

// Makes overlay panels: borderless, above other windows, on every desktop, never taking focus.
class PlacementOverlayFactory {
public:
    virtual ~PlacementOverlayFactory() = default;
    // Shows a panel for option; onClick runs when the user clicks anywhere inside it.
    virtual std::unique_ptr<PlacementOverlayWindow> showOverlay(const PlacementOption& option,
                                                                std::function<void()> onClick) = 0;

protected:
    PlacementOverlayFactory() = default;
};
