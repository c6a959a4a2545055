#pragma once

#include "core/platform/ScreenSource.h"

// A simulated set of screens with a control surface for tests. Displays are described in AppKit space
// like the real source; the first one is primary. Changes are announced at once unless a test batches
// them with announce = false and calls announceChange() itself.
class SimScreens final : public ScreenSource {
    Q_OBJECT

public:
    struct Display {
        std::optional<quint32> displayNumber; // none: a screen that cannot be identified
        std::optional<QString> uuid;          // none: a display number without an identifier
        QRectF frame;                         // AppKit space
        QString name;
        std::optional<QList<ScreenMode>> modes;
    };

    // Adds a display identified by uuid at frame (AppKit space); returns its display number.
    quint32 addDisplay(const QString& uuid, const QRectF& frame, const QString& name = {},
                       std::optional<QList<ScreenMode>> modes = std::nullopt, bool announce = true);
    // Adds a display of any shape, unidentifiable ones included.
    void addRawDisplay(const Display& display, bool announce = true);
    void removeDisplay(const QString& uuid, bool announce = true);
    void setFrame(const QString& uuid, const QRectF& frame, bool announce = true);
    // Reorders displays by identifier; the first becomes primary.
    void setOrder(const QStringList& uuids, bool announce = true);
    void setMouseLocation(QPointF location) { m_mouse = location; }
    // Makes another display the main screen; none falls back to the primary.
    void setMainDisplay(const std::optional<QString>& uuid) { m_mainUuid = uuid; }
    void announceChange() { Q_EMIT screenParametersChanged(); }

    const QList<Display>& displays() const { return m_displays; }

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override { return m_mouse; }

private:
    qsizetype indexOf(const QString& uuid) const;
    void changed(bool announce) {
        if (announce)
            announceChange();
    }

    QList<Display> m_displays;
    QPointF m_mouse;
    std::optional<QString> m_mainUuid;
    quint32 m_nextNumber = 1;
};
