/* Types keys through KWin's fake input protocol, as a keyboard would, into whatever has the focus:
 * `kestrune_fakekeys 29+19 28` presses Ctrl+R, then Return (Linux input key codes; "+" holds keys
 * together, released in reverse order). */
#include "fake-input-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static struct org_kde_kwin_fake_input* fake;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
}

static void globalRemove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

int main(int argc, char** argv) {
    static const struct wl_registry_listener listener = {global, globalRemove};
    struct wl_display* display = wl_display_connect(NULL);
    if (!display)
        return 1;
    wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
    wl_display_roundtrip(display);
    if (!fake) {
        fprintf(stderr, "kestrune_fakekeys: the compositor offers no fake input (version 4)\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake, "kestrune_fakekeys", "Kestrune's tests type keys");
    for (int i = 1; i < argc; ++i) {
        uint32_t keys[8];
        int count = 0;
        for (char* key = strtok(argv[i], "+"); key && count < 8; key = strtok(NULL, "+"))
            keys[count++] = (uint32_t)strtoul(key, NULL, 10);
        for (int k = 0; k < count; ++k)
            org_kde_kwin_fake_input_keyboard_key(fake, keys[k], 1);
        for (int k = count - 1; k >= 0; --k)
            org_kde_kwin_fake_input_keyboard_key(fake, keys[k], 0);
        wl_display_roundtrip(display);
    }
    wl_display_disconnect(display);
    return 0;
}
