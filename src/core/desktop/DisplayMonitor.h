#pragma once

#include "core/desktop/DisplayInfo.h"
#include "core/platform/ScreenSource.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QStringList>

#include <optional>

// The connected displays as DisplayInfo records, rebuilt whenever the screens change, plus the
// lookups by display identifier the engine and the views need. Main thread only.
class DisplayMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<DisplayInfo> displays READ displays NOTIFY displaysChanged)

public:
    // Fills displays at once and follows the source's changes from then on.
    explicit DisplayMonitor(ScreenSource& screens, QObject* parent = nullptr);

    // Connected, identifiable displays in the window system's order, the primary first.
    const QList<DisplayInfo>& displays() const { return m_displays; }

    // Rebuilds displays from the live screens; observers hear of it only when the list differs.
    void refresh();

    // Whether some listed display carries this identifier.
    bool isConnected(const QString& id) const;
    // The name of the first listed display with this identifier.
    std::optional<QString> name(const QString& id) const;
    // The size in points of the first listed display with this identifier.
    std::optional<QSizeF> size(const QString& id) const;

    // The display under the pointer, else the main screen's, without native values; reads the live
    // screens, so it needs no monitor.
    static std::optional<DisplayInfo> currentDisplay(const ScreenSource& screens);
    // The live full frame (AppKit space) of the first screen with this identifier.
    static std::optional<QRectF> screenFrame(const QString& displayID, const ScreenSource& screens);
    // The identifier of one screen; none for a screen without a display number or identifier.
    static std::optional<QString> displayUUID(const Screen& screen, const ScreenSource& screens);
    // The largest mode by pixel area, the first of equal ones; none without usable modes.
    static std::optional<ScreenMode> nativeMode(const QList<ScreenMode>& modes);

Q_SIGNALS:
    void displaysChanged();
    // A screen change added, removed or reordered displays; not sent for a resize.
    void displaySetChanged();

private:
    void screenParametersChanged();
    QStringList identifiers() const;

    QPointer<ScreenSource> m_screens;
    QList<DisplayInfo> m_displays;
    // The identifier order displaySetChanged last reported, so that a refresh made by someone else
    // between two screen changes cannot hide a change from its listeners.
    QStringList m_reportedIDs;
};
