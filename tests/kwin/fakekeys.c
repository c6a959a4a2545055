/* Presses and releases keys, one after the other, through KWin's fake input, as a keyboard would, into
 * whatever has the focus: `kestrune_fakekeys 28 1` types Return, then Escape (Linux input key codes). */
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
        const uint32_t key = (uint32_t)strtoul(argv[i], NULL, 10);
        org_kde_kwin_fake_input_keyboard_key(fake, key, 1);
        org_kde_kwin_fake_input_keyboard_key(fake, key, 0);
        wl_display_roundtrip(display);
    }
    wl_display_disconnect(display);
    return 0;
}
