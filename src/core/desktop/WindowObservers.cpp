#include "core/desktop/WindowObservers.h"

#include <QList>

class WindowObservers::Handle final : public WindowObserver {
public:
    Handle(std::weak_ptr<Entries> entries, quint64 id)
        : m_entries(std::move(entries))
        , m_id(id) {}
    ~Handle() override {
        if (const auto entries = m_entries.lock())
            entries->erase(m_id);
    }

private:
    std::weak_ptr<Entries> m_entries;
    quint64 m_id;
};

std::unique_ptr<WindowObserver> WindowObservers::add(Pid pid, std::function<void(WindowRef)> onCreated) {
    if (pid <= 0 || !onCreated)
        return nullptr;
    const quint64 id = m_nextId++;
    m_entries->emplace(id, Entry{pid, std::move(onCreated)});
    return std::make_unique<Handle>(m_entries, id);
}

void WindowObservers::notify(Pid pid, WindowRef window, const std::function<bool()>& exists) const {
    QList<quint64> ids;
    for (const auto& [id, entry] : *m_entries) {
        if (entry.pid == pid)
            ids.append(id);
    }
    // A copy of the list: a callback may end the workspace's observations, and with them the list.
    const std::shared_ptr<Entries> entries = m_entries;
    for (quint64 id : ids) {
        const auto found = entries->find(id);
        if (found == entries->end() || !exists())
            continue;
        const auto onCreated = found->second.onCreated; // the callback may end its own observation
        onCreated(window);
    }
}
