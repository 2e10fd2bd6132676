#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Edge docking of the real window under a real window manager (openbox).

  dock_system_test.py <tessel binary>

The auto-hide option is clicked in the unfolded options strip; the window is
dragged by its title bar past the left screen edge with xdotool, is kept at
the edge, slides out until a 4-pixel strip is left once the pointer goes
away, and comes back when the pointer touches the strip.  Esc then closes it
without storing the docked position.  Skipped (77) when openbox cannot start.
"""

import sys

from window_layout import STRIP, Docking
from xsession import SKIP, Display, Tessel, check


def test(binary):
    with Display() as display:
        if not display.start_openbox():
            print("skip - openbox cannot start")
            return SKIP
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        try:
            app.start()
            dock = Docking(display, app)
            dock.set_auto_hide()
            check(dock.drag_past_edge(), f"held past the left edge, the window is kept at it (now {dock.rect()})")
            dock.drop()
            dock.slide_out()
            x = dock.rect()[0]
            visible = min(x + dock.width, 1024) - max(x, 0)
            check(visible == STRIP, "only a 4-pixel strip is left on the screen")
            check(dock.point_at_strip(), f"pointing at the strip brings it back to x = -4 (now {dock.rect()})")

            display.xdotool("key", "Escape")
            check(app.wait_exit() == 0, "Esc closes the window")
            stored = app.settings()["frmMain"]
            check((stored.get("Left"), stored.get("Top")) == ("1500", "1500"),
                  "the docked position was not stored")
        finally:
            app.stop()
    return 0


if __name__ == "__main__":
    sys.exit(test(sys.argv[1]))
