#pragma once

#include <QObject>
#include <QPointer>

#include <xcb/xcb.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class X11Connection;
struct _XCBKeySymbols;

// Passive key grabs on the root window, shared by everything in Kestrune that hooks keys. X11 keeps one
// grab per client, key and modifiers, so each combination is grabbed once and released when its last
// holder lets go: registering a combination again before releasing the old registration keeps it.
class X11KeyGrabs : public QObject {
    Q_OBJECT

public:
    // Matches a key with any modifiers held.
    static constexpr uint16_t anyModifiers = XCB_MOD_MASK_ANY;

    // A live grab; destroying it releases it (also from inside its own press callback).
    class Registration {
    public:
        ~Registration();
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;

    private:
        friend class X11KeyGrabs;
        Registration(X11KeyGrabs* owner, int id)
            : m_owner(owner)
            , m_id(id) {}
        QPointer<X11KeyGrabs> m_owner;
        int m_id;
    };

    explicit X11KeyGrabs(X11Connection& connection);
    ~X11KeyGrabs() override;

    // Grabs keysym with exactly these modifiers (Shift 0x01, Control 0x04, Mod1 0x08, Mod4 0x40; Caps
    // Lock and Num Lock ignored) or with anyModifiers. onPress runs for every press, not for auto-repeat;
    // a press that several registrations match runs only the newest one's. Null when another client
    // holds the combination or no key of the keyboard makes the keysym.
    std::unique_ptr<Registration> grab(uint32_t keysym, uint16_t modifiers, std::function<void()> onPress);

private:
    struct Entry {
        uint32_t keysym;
        uint16_t modifiers;
        std::function<void()> onPress;
        std::vector<xcb_keycode_t> keycodes;
    };
    using GrabKey = std::pair<xcb_keycode_t, uint16_t>;

    std::vector<GrabKey> serverGrabsFor(const std::vector<xcb_keycode_t>& keycodes, uint16_t modifiers) const;
    std::vector<xcb_keycode_t> keycodesFor(uint32_t keysym) const;
    // Takes a reference on each grab, grabbing on the server what nobody held; false (and nothing held)
    // when the server refuses one.
    bool acquire(const std::vector<GrabKey>& grabs);
    void release(const std::vector<GrabKey>& grabs);
    void unregister(int id);
    bool handleEvent(const xcb_generic_event_t* event);
    void keyboardMappingChanged();
    void readLockModifiers();

    X11Connection& m_connection;
    _XCBKeySymbols* m_symbols = nullptr;
    int m_handlerId = 0;
    uint16_t m_numLockMask = 0;
    std::map<int, Entry> m_entries;
    std::map<GrabKey, int> m_serverGrabs; // references per server grab
    std::map<xcb_keycode_t, xcb_timestamp_t> m_lastRelease;
    int m_nextId = 1;
};
