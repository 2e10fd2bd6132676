#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Screenshots of the window program under Xvfb: each of the four pages and
the folded-out options strip, one PNG each.

  python3 tests/system/screenshots.py [build/bin/tessel] [out-folder]
"""

import os
import sys
import time

from window_layout import SKB_OPTION, TAB_CENTRE, TAB_ROW
from xsession import Display, Tessel


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/bin/tessel"
    out = sys.argv[2] if len(sys.argv) > 2 else "build/screenshots"
    os.makedirs(out, exist_ok=True)
    with Display() as display:
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}}).start()
        try:
            shots = []
            for tab, name in enumerate(["115", "link", "video", "about"]):
                app.click(TAB_CENTRE[tab], TAB_ROW)
                shots.append(f"page-{tab}-{name}.png")
                park_and_shoot(display, app, os.path.join(out, shots[-1]))
            app.click(TAB_CENTRE[1], TAB_ROW)
            app.click(*SKB_OPTION)
            shots.append("options-out.png")
            park_and_shoot(display, app, os.path.join(out, shots[-1]))
        finally:
            app.stop()
    for s in shots:
        print(os.path.join(out, s))


def park_and_shoot(display, app, path):
    display.xdotool("mousemove", 1, 1)  # no hover on a button, no tooltip
    time.sleep(0.4)
    display.run("import", "-window", app.window, path, timeout=30)


if __name__ == "__main__":
    main()
