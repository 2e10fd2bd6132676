// SPDX-License-Identifier: GPL-3.0-or-later
// For bench/window_startup.sh: prints "mapped <window> at <us>" on the
// monotonic clock each time a top-level window of the display is mapped,
// seen from outside the program as the X server reports it.  "ready" once
// it listens.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fputs("map_watch: no display\n", stderr);
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // a round trip
    std::printf("ready\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
        if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(e);
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            if (!map->override_redirect) {
                std::printf("mapped %u at %lld\n", map->window, static_cast<long long>(us.count()));
                std::fflush(stdout);
            }
        }
        std::free(e);
    }
    return 0;
}
