#pragma once

#include "core/picker/PlacementPicker.h"
#include "core/platform/GlobalHotKey.h"

class X11KeyGrabs;

// The global hot key as root key grabs.
class X11HotKeyService final : public GlobalHotKeyService {
public:
    explicit X11HotKeyService(X11KeyGrabs& grabs)
        : m_grabs(grabs) {}

    std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                 std::function<void()> onPress) override;

private:
    X11KeyGrabs& m_grabs;
};

// The placement picker's keys as root key grabs held while the picker is shown. Keys not grabbed reach
// the focused window by themselves.
class X11PlacementKeyTapFactory final : public PlacementKeyTapFactory {
public:
    explicit X11PlacementKeyTapFactory(X11KeyGrabs& grabs)
        : m_grabs(grabs) {}

    std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                             std::function<bool(quint32)> onKey) override;

private:
    X11KeyGrabs& m_grabs;
};
