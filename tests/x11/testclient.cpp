// X windows of kinds no stock client offers. `kestrune_testclient KINDS...` maps one window per argument;
// stdin takes "open KINDS" and "close N" (from 0); KTEST_CLASS sets the class ("-": empty). KINDS joins
// with commas: plain (no type), normal, dialog (transient for the first), transient, utility, skiptaskbar,
// maximized, fullscreen, csd (own decorations, 10,10,8,12 shadow), inc (base 10x20, steps 7x9), icon
// (16 and 32 px), badicon, noclass, nopid, remaximize. Prints "window 0x..." for each window it maps.
#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

xcb_connection_t* c;
xcb_screen_t* screen;
std::vector<xcb_window_t> windows;
std::vector<xcb_window_t> remaximizing;

xcb_atom_t atom(const char* name) {
    auto* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
    free(reply);
    return a;
}

bool has(const std::string& kind, const char* flag) {
    return ("," + kind + ",").find("," + std::string(flag) + ",") != std::string::npos;
}

void setAtoms(xcb_window_t w, const char* property, std::vector<xcb_atom_t> values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(property), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(values.size()), values.data());
}

// Asks the window manager to maximize w again when its state says it is not (any more).
void maximizeAgain(xcb_window_t w) {
    static const xcb_atom_t state = atom("_NET_WM_STATE"), vert = atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                            horz = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, w, state, XCB_ATOM_ATOM, 0, 64), nullptr);
    int found = 0;
    for (int i = 0; reply && i < xcb_get_property_value_length(reply) / 4; ++i) {
        const xcb_atom_t a = static_cast<xcb_atom_t*>(xcb_get_property_value(reply))[i];
        found += a == vert || a == horz;
    }
    free(reply);
    if (found == 2)
        return;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = state;
    event.data.data32[0] = 1; // add, as an application
    event.data.data32[1] = vert;
    event.data.data32[2] = horz;
    event.data.data32[3] = 1;
    xcb_send_event(c, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

void open(const std::string& kind) {
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                   (has(kind, "remaximize") ? uint32_t(XCB_EVENT_MASK_PROPERTY_CHANGE) : 0u)};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 240, 160, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const char* cls =
        getenv("KTEST_CLASS") && *getenv("KTEST_CLASS") ? getenv("KTEST_CLASS") : "KestruneTestClient";
    if (strcmp(cls, "-") == 0)
        cls = ""; // an instance name only
    std::string wmClass = std::string("ktestclient") + '\0' + cls + '\0';
    if (!has(kind, "noclass"))
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(wmClass.size()), wmClass.data());
    const std::string title = "test " + kind;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    if (!has(kind, "nopid")) {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(strlen(host)), host);
        const uint32_t pid = static_cast<uint32_t>(getpid());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    if (has(kind, "normal"))
        setAtoms(w, "_NET_WM_WINDOW_TYPE", {atom("_NET_WM_WINDOW_TYPE_NORMAL")});
    if (has(kind, "dialog"))
        setAtoms(w, "_NET_WM_WINDOW_TYPE", {atom("_NET_WM_WINDOW_TYPE_DIALOG")});
    if (has(kind, "utility"))
        setAtoms(w, "_NET_WM_WINDOW_TYPE", {atom("_NET_WM_WINDOW_TYPE_UTILITY")});
    if ((has(kind, "dialog") || has(kind, "transient")) && !windows.empty())
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                            &windows.front());
    if (has(kind, "remaximize"))
        remaximizing.push_back(w);
    if (has(kind, "skiptaskbar"))
        setAtoms(w, "_NET_WM_STATE", {atom("_NET_WM_STATE_SKIP_TASKBAR")});
    if (has(kind, "maximized") || has(kind, "remaximize"))
        setAtoms(w, "_NET_WM_STATE",
                 {atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ")});
    if (has(kind, "fullscreen"))
        setAtoms(w, "_NET_WM_STATE", {atom("_NET_WM_STATE_FULLSCREEN")});
    if (has(kind, "csd")) {
        // Draws its own decorations: no frame from the window manager, an invisible shadow margin inside.
        const uint32_t motif[5] = {2, 0, 0, 0, 0};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_MOTIF_WM_HINTS"), atom("_MOTIF_WM_HINTS"), 32,
                            5, motif);
        const uint32_t shadow[4] = {10, 10, 8, 12};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32, 4,
                            shadow);
    }
    uint32_t hints[18] = {};
    if (has(kind, "inc")) { // PMinSize | PResizeInc | PBaseSize
        hints[0] = 16 | 64 | 256, hints[9] = 7, hints[10] = 9;
        hints[5] = hints[15] = 10, hints[6] = hints[16] = 20;
    }
    if (hints[0])
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                            18, hints);
    if (has(kind, "icon")) {
        // 16x16 opaque red, then 32x32 opaque blue: the larger one is the one to show.
        std::vector<uint32_t> data{16, 16};
        data.insert(data.end(), 16 * 16, 0xffff0000u);
        data.insert(data.end(), {32, 32});
        data.insert(data.end(), 32 * 32, 0xff0000ffu);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32,
                            static_cast<uint32_t>(data.size()), data.data());
    }
    if (has(kind, "badicon")) {
        // Claims a 1000x1000 image but carries four pixels.
        const uint32_t data[] = {1000, 1000, 0xffffffffu, 0xffffffffu, 0xffffffffu, 0xffffffffu};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, 6,
                            data);
    }
    xcb_map_window(c, w);
    xcb_flush(c);
    windows.push_back(w);
    printf("window 0x%x\n", w);
    fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (int i = 1; i < argc; ++i)
        open(argv[i]);
    setvbuf(stdin, nullptr, _IONBF, 0); // unread lines stay in the pipe, where poll() sees them
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {xcb_get_file_descriptor(c), POLLIN, 0}};
    for (;;) {
        poll(fds, 2, -1);
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                std::find(remaximizing.begin(), remaximizing.end(), property->window) != remaximizing.end())
                maximizeAgain(property->window);
            free(event);
        }
        if (xcb_connection_has_error(c))
            return 1;
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char line[256];
            if (!fgets(line, sizeof line, stdin))
                return 0;
            line[strcspn(line, "\n")] = '\0';
            const size_t index = strncmp(line, "close ", 6) == 0 ? strtoul(line + 6, nullptr, 10) : SIZE_MAX;
            if (strncmp(line, "open ", 5) == 0)
                open(line + 5);
            else if (index < windows.size())
                xcb_destroy_window(c, windows[index]);
            xcb_flush(c);
        }
    }
}
