#pragma once

#include <QList>

#include <functional>
#include <memory>

// A keyboard hook that sees the given keys wherever the focus is; destroying it removes it. It may be
// destroyed from inside its own onKey.
class PlacementKeyTap {
public:
    virtual ~PlacementKeyTap() = default;

protected:
    PlacementKeyTap() = default;
};

class PlacementKeyTapFactory {
public:
    virtual ~PlacementKeyTapFactory() = default;
    // Hooks these key codes; onKey decides on the main thread whether a press is swallowed (true) or
    // passed on. Null when the desktop refuses the hook.
    virtual std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                                     std::function<bool(quint32 keyCode)> onKey) = 0;

protected:
    PlacementKeyTapFactory() = default;
};
