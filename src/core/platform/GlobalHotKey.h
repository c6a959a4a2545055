#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// A registered system-wide key combination; destroying it makes the combination inert.
class GlobalHotKey {
public:
    virtual ~GlobalHotKey() = default;

protected:
    GlobalHotKey() = default;
};

// Registers system-wide key combinations.
class GlobalHotKeyService {
public:
    virtual ~GlobalHotKeyService() = default;

    // Registers a key code with a hot-key modifier mask; onPress runs on the main thread for every press.
    // Null, leaving nothing behind, when the desktop refuses (another program holds the combination).
    virtual std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                         std::function<void()> onPress) = 0;

protected:
    GlobalHotKeyService() = default;
};
