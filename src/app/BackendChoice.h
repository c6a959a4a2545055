#pragma once

#include <memory>

class DesktopBackend;

// The one place that picks the backend: X11 when an X display answers (whether a window manager runs
// is the trust question, followed while Kestrune runs); otherwise one that moves nothing, so the user
// interface still starts and shows why. Needs a QApplication.
std::unique_ptr<DesktopBackend> createDesktopBackend();
