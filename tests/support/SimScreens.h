#pragma once

#include "core/platform/ScreenSource.h"

// Simulated screens as plain data, edited then announced. Frames in AppKit space; the first is the primary.
class SimScreens final : public ScreenSource {
    Q_OBJECT

public:
    struct Display {
        std::optional<quint32> displayNumber; // none: a screen that cannot be identified
        std::optional<QString> uuid;          // none: a display number without an identifier
        QRectF frame;
        QString name;
        std::optional<QList<ScreenMode>> modes;
    };

    QList<Display> displays;
    QPointF mouse;
    std::optional<QString> mainUuid; // none: the primary is the main screen

    void addDisplay(const QString& uuid, const QRectF& frame, const QString& name = {},
                    std::optional<QList<ScreenMode>> modes = std::nullopt, bool announce = true);
    void removeDisplay(const QString& uuid, bool announce = true);
    Display& display(const QString& uuid);
    void announceChange() { Q_EMIT screenParametersChanged(); }

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override { return mouse; }

private:
    const Display* byNumber(quint32 displayNumber) const;
};
