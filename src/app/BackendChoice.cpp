#include "app/BackendChoice.h"

#include "kwin/KWinDesktopBackend.h"
#include "null/NullDesktopBackend.h"
#include "x11/X11DesktopBackend.h"

#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

std::unique_ptr<DesktopBackend> createDesktopBackend() {
    QString forced = qEnvironmentVariable("KESTRUNE_BACKEND").toLower();
    if (!forced.isEmpty() && forced != u"kwin"_s && forced != u"x11"_s && forced != u"null"_s) {
        std::fprintf(stderr, "Kestrune: KESTRUNE_BACKEND must be kwin, x11 or null, not \"%s\".\n",
                     qPrintable(forced));
        forced.clear();
    }
    // Plasma, on Wayland or X11: KWin runs Kestrune's script, which places windows before they show.
    if (forced.isEmpty() ? KWinDesktopBackend::isAvailable() : forced == u"kwin"_s) {
        if (auto kwin = KWinDesktopBackend::open())
            return kwin;
        std::fputs("Kestrune: KWin's scripting did not answer.\n", stderr);
    }
    // Another X session. A Wayland session may still offer an X display (Xwayland), whose windows
    // Kestrune could move but whose native ones it could not: Qt's own platform tells them apart.
    if (forced.isEmpty() ? QGuiApplication::platformName() == u"xcb"_s : forced == u"x11"_s) {
        if (auto x11 = X11DesktopBackend::open())
            return x11;
    }
    return std::make_unique<NullDesktopBackend>();
}
