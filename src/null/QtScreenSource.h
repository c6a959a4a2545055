#pragma once

#include "core/platform/ScreenSource.h"

// The screens Qt knows, in Qt's order with the primary first, identified by their names.
class QtScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    explicit QtScreenSource(QObject* parent = nullptr);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override;
    // Where a frame in AppKit space lies in Qt's global coordinates.
    static QRectF globalFrame(const QRectF& appKitFrame);

private:
    void watch(class QScreen* screen);
};
