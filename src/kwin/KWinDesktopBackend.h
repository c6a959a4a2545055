#pragma once

#include "core/platform/DesktopBackend.h"

#include <QHash>
#include <QJsonObject>

#include <memory>

// The desktop of a Plasma session (Wayland or X11), through a script of Kestrune's own inside KWin:
// windows are reported and moved by the script, locked applications' new windows get their frames
// before they are first shown, and Kestrune's own panels are placed by it (a Wayland client cannot
// place its own windows). Keys go through the compositor's global-shortcut service.
class KWinDesktopBackend final : public DesktopBackend {
public:
    // Null when KWin's scripting is not on the session bus or the script does not answer.
    static std::unique_ptr<KWinDesktopBackend> open();
    // Whether KWin's scripting service is on the session bus.
    static bool isAvailable();
    ~KWinDesktopBackend() override;

    QString name() const override;
    Workspace& workspace() override;
    WindowBackend& windows() override;
    ScreenSource& screens() override;
    TrustSource& trust() override;
    GlobalHotKeyService& hotKeys() override;
    PlacementKeyTapFactory& keyTaps() override;
    QRectF globalFrame(const QRectF& appKitFrame) override;
    bool isCompositing() override;
    void setPlacements(const QList<WindowPlacement>& placements) override;
    void placeOwnWindow(const QString& title, const QRect& frame, bool activate) override;
    void activateOwnWindow(const QString& title) override;

    class FreshPointerHotKeys;

private:
    struct Parts;
    KWinDesktopBackend();
    void sendPlacements();

    std::unique_ptr<Parts> m_parts;
    QList<WindowPlacement> m_placements;
    QHash<QString, QJsonObject> m_ownWindows; // by title
};
