#pragma once

#include <memory>

class DesktopBackend;

// The one place that picks the backend: KWin when its scripting service is on the session bus (Plasma on
// Wayland or X11); else X11 when Qt runs on an X display (whether a window manager runs is the trust
// question, followed while Kestrune runs); otherwise one that moves nothing, so the user interface still
// starts and shows why. KESTRUNE_BACKEND=kwin|x11|null chooses instead. Needs a QApplication.
std::unique_ptr<DesktopBackend> createDesktopBackend();
