// SPDX-License-Identifier: GPL-3.0-or-later
// For bench/window_startup.sh: prints "mapped <window> at <us>" on the
// monotonic clock each time a top-level window of the display is mapped, and
// "drawn <window> at <us>" when the program first draws into it after that
// (the X server's DAMAGE report: the first frame on the screen), both seen
// from outside the program as the X server reports them.  "ready" once it
// listens.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

long long Now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fputs("map_watch: no display\n", stderr);
        return 2;
    }
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c, &xcb_damage_id);
    if (!damage || !damage->present) {
        std::fputs("map_watch: the display has no DAMAGE extension\n", stderr);
        return 2;
    }
    std::free(xcb_damage_query_version_reply(
        c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // a round trip
    std::printf("ready\n");
    std::fflush(stdout);

    // Damage is watched from a window's creation, so that a program drawing
    // right after it maps is not missed; what it reports before the map
    // (nothing can be seen then) is not a frame.
    std::set<xcb_window_t> mapped;
    while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
        const int type = e->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* create = reinterpret_cast<const xcb_create_notify_event_t*>(e);
            if (!create->override_redirect)
                xcb_damage_create(c, xcb_generate_id(c), create->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            xcb_flush(c);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(e);
            if (!map->override_redirect) {
                mapped.insert(map->window);
                std::printf("mapped %u at %lld\n", map->window, Now());
                std::fflush(stdout);
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(e);
            if (mapped.erase(notify->drawable)) {
                std::printf("drawn %u at %lld\n", notify->drawable, Now());
                std::fflush(stdout);
                xcb_damage_destroy(c, notify->damage);  // the first frame is all we want
            } else {
                xcb_damage_subtract(c, notify->damage, XCB_NONE, XCB_NONE);  // wait for the next
            }
            xcb_flush(c);
        }
        std::free(e);
    }
    return 0;
}
