#include "x11/X11Keyboard.h"

#include "core/desktop/KeyCodes.h"
#include "x11/X11KeyGrabs.h"

#include <vector>

namespace {

class GrabbedHotKey final : public GlobalHotKey {
public:
    explicit GrabbedHotKey(std::unique_ptr<X11KeyGrabs::Registration> registration)
        : m_registration(std::move(registration)) {}

private:
    std::unique_ptr<X11KeyGrabs::Registration> m_registration;
};

class GrabbedKeyTap final : public PlacementKeyTap {
public:
    std::vector<std::unique_ptr<X11KeyGrabs::Registration>> registrations;
};

} // namespace

std::unique_ptr<GlobalHotKey> X11HotKeyService::registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                               std::function<void()> onPress) {
    const auto keysym = KeyCodes::toKeysym(keyCode);
    if (!keysym)
        return nullptr;
    auto registration = m_grabs.grab(*keysym, KeyCodes::x11Modifiers(modifierMask), std::move(onPress));
    if (!registration)
        return nullptr;
    return std::make_unique<GrabbedHotKey>(std::move(registration));
}

std::unique_ptr<PlacementKeyTap> X11PlacementKeyTapFactory::install(const QList<quint32>& keyCodes,
                                                                    std::function<bool(quint32)> onKey) {
    auto tap = std::make_unique<GrabbedKeyTap>();
    for (quint32 keyCode : keyCodes) {
        const auto keysym = KeyCodes::toKeysym(keyCode);
        if (!keysym)
            continue;
        const auto onPress = [onKey, keyCode] { onKey(keyCode); };
        // With any modifiers where we can; where another program holds a modified variant (desktops bind
        // Super+digit), the plain key still works.
        auto registration = m_grabs.grab(*keysym, X11KeyGrabs::anyModifiers, onPress);
        if (!registration)
            registration = m_grabs.grab(*keysym, 0, onPress);
        if (registration)
            tap->registrations.push_back(std::move(registration));
    }
    if (tap->registrations.empty())
        return nullptr;
    return tap;
}
