#include "core/desktop/DisplayMonitor.h"

#include "core/desktop/Geometry.h"

#include <algorithm>

DisplayMonitor::DisplayMonitor(ScreenSource& screens, QObject* parent)
    : QObject(parent)
    , m_screens(&screens) {
    refresh();
    m_reportedIDs = identifiers();
    // The connection goes with either object, so a change never reaches a monitor that is gone.
    connect(&screens, &ScreenSource::screenParametersChanged, this, &DisplayMonitor::screenParametersChanged);
}

void DisplayMonitor::refresh() {
    QList<DisplayInfo> list;
    if (m_screens) {
        const QList<Screen> screens = m_screens->screens();
        for (const Screen& screen : screens) {
            const std::optional<QString> id = displayUUID(screen, *m_screens);
            if (!id)
                continue;
            DisplayInfo info{*id, screen.name, screen.frame.width(), screen.frame.height(), {}, {}};
            if (const auto modes = m_screens->displayModes(*screen.displayNumber)) {
                if (const auto best = nativeMode(*modes)) {
                    info.nativeWidth = best->pixelWidth;
                    info.nativeHeight = best->pixelHeight;
                }
            }
            list.append(std::move(info));
        }
    }
    if (list == m_displays)
        return;
    m_displays = std::move(list);
    Q_EMIT displaysChanged();
}

void DisplayMonitor::screenParametersChanged() {
    refresh();
    const QStringList ids = identifiers();
    if (ids == m_reportedIDs)
        return;
    m_reportedIDs = ids;
    Q_EMIT displaySetChanged();
}

QStringList DisplayMonitor::identifiers() const {
    QStringList ids;
    ids.reserve(m_displays.size());
    for (const DisplayInfo& d : m_displays)
        ids.append(d.id);
    return ids;
}

bool DisplayMonitor::isConnected(const QString& id) const {
    return std::any_of(m_displays.cbegin(), m_displays.cend(),
                       [&](const DisplayInfo& d) { return d.id == id; });
}

std::optional<QString> DisplayMonitor::name(const QString& id) const {
    for (const DisplayInfo& d : m_displays) {
        if (d.id == id)
            return d.name;
    }
    return std::nullopt;
}

std::optional<QSizeF> DisplayMonitor::size(const QString& id) const {
    for (const DisplayInfo& d : m_displays) {
        if (d.id == id)
            return QSizeF(d.width, d.height);
    }
    return std::nullopt;
}

std::optional<DisplayInfo> DisplayMonitor::currentDisplay(const ScreenSource& screens) {
    const QPointF mouse = screens.mouseLocation();
    std::optional<Screen> chosen;
    const QList<Screen> list = screens.screens();
    for (const Screen& screen : list) {
        if (containsPoint(screen.frame, mouse)) {
            chosen = screen;
            break;
        }
    }
    if (!chosen)
        chosen = screens.mainScreen();
    if (!chosen)
        return std::nullopt;
    const std::optional<QString> id = displayUUID(*chosen, screens);
    if (!id)
        return std::nullopt;
    return DisplayInfo{*id, chosen->name, chosen->frame.width(), chosen->frame.height(), {}, {}};
}

std::optional<QRectF> DisplayMonitor::screenFrame(const QString& displayID, const ScreenSource& screens) {
    const QList<Screen> list = screens.screens();
    for (const Screen& screen : list) {
        if (displayUUID(screen, screens) == displayID)
            return screen.frame;
    }
    return std::nullopt;
}

std::optional<QString> DisplayMonitor::displayUUID(const Screen& screen, const ScreenSource& screens) {
    if (!screen.displayNumber)
        return std::nullopt;
    return screens.displayUUID(*screen.displayNumber);
}

std::optional<ScreenMode> DisplayMonitor::nativeMode(const QList<ScreenMode>& modes) {
    std::optional<ScreenMode> best;
    qint64 bestArea = 0;
    for (const ScreenMode& mode : modes) {
        // A mode without a positive size is a broken entry, not a resolution to show.
        if (mode.pixelWidth <= 0 || mode.pixelHeight <= 0)
            continue;
        const qint64 area = qint64(mode.pixelWidth) * mode.pixelHeight;
        if (!best || area > bestArea) {
            best = mode;
            bestArea = area;
        }
    }
    return best;
}
