#pragma once

#include <QList>
#include <QMetaType>
#include <QRectF>
#include <QString>
#include <QtGlobal>

#include <optional>

// A process id, as the window system reports it; 0 means unknown.
using Pid = qint32;

// An opaque reference to another application's top-level window (an X11 window id, a simulated id).
// Made per call and never cached by callers; 0 refers to no window.
using WindowRef = quint64;

// The subroles a window reports; other texts name other kinds of windows.
inline const QString standardWindowSubrole = QStringLiteral("AXStandardWindow");
inline const QString dialogSubrole = QStringLiteral("AXDialog");

enum class ActivationPolicy {
    Regular,    // has a standard window shown in the task bar
    Accessory,  // only panels, docks, skip-taskbar windows
    Prohibited, // no window at all
};

// One running application as the workspace reports it.
struct RunningApp {
    Pid pid = 0;
    std::optional<QString> bundleID;      // none when the application has no identity
    std::optional<QString> localizedName; // none when no name is known
    ActivationPolicy activationPolicy = ActivationPolicy::Regular;

    friend bool operator==(const RunningApp&, const RunningApp&) = default;
};

// Where a locked application's next windows go, for a window system that can place a window before it is
// first shown: the first frame for a window shown while none of the application's is open, the next
// ones for later windows. Accessibility space.
struct WindowPlacement {
    QString bundleID;
    QList<QRectF> frames;

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

// One display mode, in pixels.
struct ScreenMode {
    int pixelWidth = 0;
    int pixelHeight = 0;

    friend bool operator==(const ScreenMode&, const ScreenMode&) = default;
};

Q_DECLARE_METATYPE(RunningApp)
