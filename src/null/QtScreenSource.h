#pragma once

#include "core/platform/ScreenSource.h"

#include <QHash>

#include <functional>

class QScreen;

// The screens Qt knows, in Qt's order with the primary first. A screen is identified by the EDID the
// kernel exposes for its connector (/sys/class/drm/card*-<name>/edid) where it can be read, else by its
// name. The pointer comes from pointer() when given (Qt cannot see it outside its own windows on
// Wayland), else from Qt; the screen under it is the one the user works on.
class QtScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    // pointer: the pointer in Qt's global coordinates.
    explicit QtScreenSource(std::function<QPointF()> pointer = {}, QObject* parent = nullptr);

    QList<Screen> screens() const override;
    std::optional<Screen> mainScreen() const override;
    std::optional<QString> displayUUID(quint32 displayNumber) const override;
    std::optional<QList<ScreenMode>> displayModes(quint32 displayNumber) const override;
    QPointF mouseLocation() const override;
    // Where a frame in AppKit space lies in Qt's global coordinates.
    static QRectF globalFrame(const QRectF& appKitFrame);
    // The primary screen's top-left corner in Qt's global coordinates.
    static QPointF primaryOrigin();

private:
    void watch(QScreen* screen);
    QPointF pointer() const;

    std::function<QPointF()> m_pointer;
    mutable QHash<QString, QString> m_identities; // by screen name; read again after every change
};
