#pragma once

#include "app/DesktopBackend.h"
#include "platform/ScreenSource.h"

#include <memory>

// A desktop Kestrune cannot act on (no X display: a Wayland-only session, say): no applications or
// windows, never trusted, no global keys; the screens come from Qt so the user interface can still
// show the displays.
class NullDesktopBackend final : public DesktopBackend {
public:
    NullDesktopBackend();
    ~NullDesktopBackend() override;

    QString name() const override;
    Workspace& workspace() override;
    WindowBackend& windows() override;
    ScreenSource& screens() override;
    TrustSource& trust() override;
    GlobalHotKeyService& hotKeys() override;
    PlacementOverlayFactory& overlays() override;
    PlacementKeyTapFactory& keyTaps() override;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

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

private:
    void watch(class QScreen* screen);
};
