#include "app/BackendChoice.h"

#include "null/NullDesktopBackend.h"
#include "x11/X11DesktopBackend.h"

#include <QGuiApplication>

std::unique_ptr<DesktopBackend> createDesktopBackend() {
    // Qt's own platform says whether this is an X session; a Wayland session may still offer an X
    // display (Xwayland), whose windows Kestrune could move but whose native ones it could not.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto x11 = X11DesktopBackend::open())
            return x11;
    }
    return std::make_unique<NullDesktopBackend>();
}
