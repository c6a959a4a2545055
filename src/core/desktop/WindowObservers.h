#pragma once

#include "core/platform/Workspace.h"

#include <functional>
#include <map>
#include <memory>

// The observers of window creation a workspace keeps, by process; each lasts as long as its handle, which
// may outlive the list.
class WindowObservers {
public:
    // Null (nothing kept) for an unknown process or without a callback.
    std::unique_ptr<WindowObserver> add(Pid pid, std::function<void(WindowRef)> onCreated);
    // Tells every observer of the process about a new window. Observers may end (their own included) or
    // begin meanwhile; each is told only while exists() still holds.
    void notify(Pid pid, WindowRef window, const std::function<bool()>& exists) const;

private:
    struct Entry {
        Pid pid;
        std::function<void(WindowRef)> onCreated;
    };
    using Entries = std::map<quint64, Entry>;
    class Handle;

    std::shared_ptr<Entries> m_entries = std::make_shared<Entries>();
    quint64 m_nextId = 1;
};
