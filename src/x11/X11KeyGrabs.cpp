#include "x11/X11KeyGrabs.h"

#include "x11/X11Connection.h"

#include <xcb/xcb_keysyms.h>

#include <set>

namespace {

constexpr uint32_t numLockKeysym = 0xff7f;

} // namespace

X11KeyGrabs::Registration::~Registration() {
    if (m_owner)
        m_owner->unregister(m_id);
}

X11KeyGrabs::X11KeyGrabs(X11Connection& connection)
    : m_connection(connection)
    , m_symbols(xcb_key_symbols_alloc(connection.xcb())) {
    readLockModifiers();
    m_handlerId =
        m_connection.addEventHandler([this](const xcb_generic_event_t* e) { return handleEvent(e); });
}

X11KeyGrabs::~X11KeyGrabs() {
    m_connection.removeEventHandler(m_handlerId);
    for (const auto& [grab, refs] : m_serverGrabs)
        xcb_ungrab_key(m_connection.xcb(), grab.first, m_connection.root(), grab.second);
    m_connection.flush();
    if (m_symbols)
        xcb_key_symbols_free(m_symbols);
}

// The Num Lock modifier bit differs between keyboards; Caps Lock is always Lock.
void X11KeyGrabs::readLockModifiers() {
    m_numLockMask = 0;
    const std::vector<xcb_keycode_t> numLock = keycodesFor(numLockKeysym);
    XcbReply<xcb_get_modifier_mapping_reply_t> map(xcb_get_modifier_mapping_reply(
        m_connection.xcb(), xcb_get_modifier_mapping(m_connection.xcb()), nullptr));
    m_connection.drain();
    if (!map)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code != 0 && std::find(numLock.begin(), numLock.end(), code) != numLock.end())
                m_numLockMask = uint16_t(1u << modifier);
        }
    }
}

std::vector<xcb_keycode_t> X11KeyGrabs::keycodesFor(uint32_t keysym) const {
    std::vector<xcb_keycode_t> codes;
    if (!m_symbols)
        return codes;
    xcb_keycode_t* found = xcb_key_symbols_get_keycode(m_symbols, keysym);
    for (xcb_keycode_t* c = found; c && *c != XCB_NO_SYMBOL; ++c) {
        if (std::find(codes.begin(), codes.end(), *c) == codes.end())
            codes.push_back(*c);
    }
    std::free(found);
    return codes;
}

// Caps Lock and Num Lock change the state a press arrives with, so every combination of the two is
// grabbed as well.
std::vector<X11KeyGrabs::GrabKey> X11KeyGrabs::serverGrabsFor(const std::vector<xcb_keycode_t>& keycodes,
                                                              uint16_t modifiers) const {
    std::vector<GrabKey> grabs;
    std::vector<uint16_t> variants{modifiers};
    if (modifiers != anyModifiers) {
        const uint16_t locks[] = {XCB_MOD_MASK_LOCK, m_numLockMask};
        for (uint16_t lock : locks) {
            if (lock == 0)
                continue;
            const std::size_t n = variants.size();
            for (std::size_t i = 0; i < n; ++i)
                variants.push_back(uint16_t(variants[i] | lock));
        }
    }
    for (xcb_keycode_t code : keycodes) {
        for (uint16_t mods : variants)
            grabs.emplace_back(code, mods);
    }
    return grabs;
}

bool X11KeyGrabs::acquire(const std::vector<GrabKey>& grabs) {
    std::vector<std::pair<GrabKey, xcb_void_cookie_t>> requests;
    for (const GrabKey& grab : grabs) {
        if (m_serverGrabs.count(grab) == 0) {
            requests.emplace_back(grab, xcb_grab_key_checked(m_connection.xcb(), 1, m_connection.root(),
                                                             grab.second, grab.first, XCB_GRAB_MODE_ASYNC,
                                                             XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    std::vector<GrabKey> granted;
    for (const auto& [grab, cookie] : requests) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection.xcb(), cookie));
        if (error)
            refused = true; // BadAccess: another client holds it
        else
            granted.push_back(grab);
    }
    m_connection.drain();
    if (refused || !m_connection.isConnected()) {
        for (const GrabKey& grab : granted)
            xcb_ungrab_key(m_connection.xcb(), grab.first, m_connection.root(), grab.second);
        m_connection.flush();
        return false;
    }
    for (const GrabKey& grab : grabs)
        ++m_serverGrabs[grab];
    return true;
}

void X11KeyGrabs::release(const std::vector<GrabKey>& grabs) {
    std::set<xcb_keycode_t> ungrabbed;
    for (const GrabKey& grab : grabs) {
        const auto it = m_serverGrabs.find(grab);
        if (it == m_serverGrabs.end())
            continue;
        if (--it->second == 0) {
            xcb_ungrab_key(m_connection.xcb(), grab.first, m_connection.root(), grab.second);
            m_serverGrabs.erase(it);
            ungrabbed.insert(grab.first);
        }
    }
    // X11: an ungrab takes more than its own combination: with any modifiers it releases every grab of
    // ours on the key (a hot key on a digit the picker hooked), and a single combination cuts a hole in
    // an any-modifier grab. So what is still held on those keys is grabbed again.
    std::vector<std::pair<GrabKey, xcb_void_cookie_t>> requests;
    for (const auto& [grab, refs] : m_serverGrabs) {
        if (ungrabbed.count(grab.first) != 0)
            requests.emplace_back(grab, xcb_grab_key_checked(m_connection.xcb(), 1, m_connection.root(),
                                                             grab.second, grab.first, XCB_GRAB_MODE_ASYNC,
                                                             XCB_GRAB_MODE_ASYNC));
    }
    for (const auto& [grab, cookie] : requests) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection.xcb(), cookie));
        // Another program took a single combination in the moment between: it is no longer ours. A refused
        // any-modifier grab keeps what the ungrab left of it, so it stays counted and is released later.
        if (error && grab.second != anyModifiers)
            m_serverGrabs.erase(grab);
    }
    if (requests.empty())
        m_connection.flush();
    else
        m_connection.drain();
}

std::unique_ptr<X11KeyGrabs::Registration> X11KeyGrabs::grab(uint32_t keysym, uint16_t modifiers,
                                                             std::function<void()> onPress) {
    const std::vector<xcb_keycode_t> keycodes = keycodesFor(keysym);
    if (keycodes.empty() || !acquire(serverGrabsFor(keycodes, modifiers)))
        return nullptr;
    const int id = m_nextId++;
    m_entries.emplace(id, Entry{keysym, modifiers, std::move(onPress), keycodes});
    return std::unique_ptr<Registration>(new Registration(this, id));
}

void X11KeyGrabs::unregister(int id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    release(serverGrabsFor(it->second.keycodes, it->second.modifiers));
    m_entries.erase(it);
}

bool X11KeyGrabs::handleEvent(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        xcb_refresh_keyboard_mapping(m_symbols, reinterpret_cast<xcb_mapping_notify_event_t*>(
                                                    const_cast<xcb_generic_event_t*>(event)));
        keyboardMappingChanged();
        return false;
    }
    if (type == XCB_KEY_RELEASE) {
        const auto* key = reinterpret_cast<const xcb_key_release_event_t*>(event);
        m_lastRelease[key->detail] = key->time;
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->event != m_connection.root())
        return false;
    // Auto-repeat sends a release and a press with the same time: one press per keystroke.
    if (const auto last = m_lastRelease.find(key->detail);
        last != m_lastRelease.end() && last->second == key->time)
        return true;
    const uint16_t state = key->state & ~uint16_t(XCB_MOD_MASK_LOCK | m_numLockMask) & 0xff;
    // One press does one thing: it goes to the newest registration it matches, so the picker, shown
    // for a moment over a hot key on one of its digits, takes the press and the hot key does not fire.
    std::function<void()> onPress;
    for (auto it = m_entries.rbegin(); it != m_entries.rend() && !onPress; ++it) {
        const Entry& entry = it->second;
        const bool codeMatches =
            std::find(entry.keycodes.begin(), entry.keycodes.end(), key->detail) != entry.keycodes.end();
        if (codeMatches && (entry.modifiers == anyModifiers || entry.modifiers == state))
            onPress = entry.onPress;
    }
    if (!onPress)
        return false;
    // The passive grab made the whole keyboard ours until the key goes up; give it back at once so that
    // a window opened by the callback (the panel) can take the keyboard.
    xcb_ungrab_keyboard(m_connection.xcb(), key->time);
    m_connection.flush();
    // A copy: the callback may release its own registration.
    onPress();
    return true;
}

// The keyboard changed: the same keysyms may now sit on other keys.
void X11KeyGrabs::keyboardMappingChanged() {
    for (const auto& [grab, refs] : m_serverGrabs)
        xcb_ungrab_key(m_connection.xcb(), grab.first, m_connection.root(), grab.second);
    m_serverGrabs.clear();
    readLockModifiers();
    for (auto& [id, entry] : m_entries) {
        entry.keycodes = keycodesFor(entry.keysym);
        // A combination another client took meanwhile stays without a grab; nothing better can be done.
        if (!acquire(serverGrabsFor(entry.keycodes, entry.modifiers)))
            entry.keycodes.clear();
    }
}
