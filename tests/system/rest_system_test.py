#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The window program at rest and under a flood, on a virtual X display.

  rest_system_test.py <tessel binary> clipboard
      With the clipboard watcher on, another program copies a text of several
      megabytes that starts like an address: it is not routed, the window
      keeps answering (a small link copied afterwards is still routed) and the
      memory it took is given back.
  rest_system_test.py <tessel binary> idle
      Shown and untouched, minimized, started hidden to the tray, and docked at
      the left edge and slid out of sight, the program sleeps: its threads wake at most once a
      second (voluntary context switches summed over them from /proc, over 10
      seconds each, or TESSEL_REST_SECONDS), and each time the window is back
      the pointer makes the banner ripple again.  Hidden, it still routes a copied link; the
      docked window still comes out when the pointer reaches its strip.
      Skipped (77) without openbox or trayer.

Memory and wake-up figures are printed for the record; the memory check keeps
a wide margin so that a loaded machine cannot fail it.
"""

import os
import subprocess
import sys
import tempfile
import time

from window_layout import Docking, client_origin, icon_centre, minimized_at_rest, tray_icon
from xsession import (SKIP, Display, Tessel, at_rest, check, rest_seconds, rss_kib, run_part, thunder, wait_until,
                      wakeups_during)


class LoggedTessel(Tessel):
    """The program with its window log (first paint, routed texts) in a file."""

    def start(self, extra_env=None):
        self.log = tempfile.NamedTemporaryFile(prefix="tessel-log-", suffix=".txt", delete=False)
        return super().start(dict(extra_env or {}, QT_LOGGING_RULES="tessel.window.debug=true"), stderr=self.log)

    def lines(self, word):
        with open(self.log.name, errors="replace") as f:
            return [line for line in f if word in line]

    def stop(self):
        super().stop()
        os.unlink(self.log.name)


def test_clipboard(binary):
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500", "Clipboard": "1"}}
    with Display() as display:
        app = LoggedTessel(display, binary, settings).start()
        try:
            display.copy(thunder("http://a/b"))
            check(wait_until(lambda: app.settings().get("frmMain", "linkActiveTab", fallback="") == "1",
                             timeout=20), "a small link is routed")
            time.sleep(1.0)
            before = rss_kib(app.proc.pid)

            size = 8 << 20
            display.copy("http://" + "a" * (size - 7))
            check(wait_until(lambda: app.lines("not routed"), timeout=60),
                  f"a text of {size >> 20} MiB starting with http:// is read and not routed")
            peak = rss_kib(app.proc.pid)

            routed = len(app.lines("routed at"))
            display.copy(thunder("http://c/d"))
            check(wait_until(lambda: len(app.lines("routed at")) > routed, timeout=30),
                  "a small link copied afterwards is still routed")
            time.sleep(1.0)
            after = rss_kib(app.proc.pid)
            print(f"# memory: {before} KiB before, {peak} KiB just after reading, {after} KiB after")
            check(after - before < 20 * 1024, "the memory the big text took comes back within 20 MiB")

            app.proc.terminate()
            check(app.wait_exit() == 0, "the program ends normally")
        finally:
            app.stop()


def ripples(display, pid, window):
    """The banner's timer runs (30 ms) when the pointer stirs the shown
    window's banner; over a calm banner it rests.  Just restored, the
    window may not yet stand where it will (openbox animates the restore),
    so the pointer crosses where it stands once a second until the banner
    moves (ten times at most)."""
    for _ in range(10):
        x, y = client_origin(display, window)
        display.xdotool("mousemove", x + 240, y + 30, "mousemove", x + 250, y + 30, "mousemove", x + 260, y + 30,
                        "mousemove", x + 200, y + 200)
        count = wakeups_during(pid, 1.0)
        print(f"# {count} voluntary context switches in the second after the pointer crossed the banner")
        if count > 10:
            return True
    return False


def test_idle(binary):
    seconds = rest_seconds()
    with Display() as display:
        # A window manager, so that the window can be minimized and docked,
        # and a tray host, so that it can be hidden to the tray.
        if not display.start_openbox():
            print("skip - openbox cannot start")
            return SKIP
        if not display.start_tray_host():
            print("skip - no tray host could start")
            return SKIP
        settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}}
        app = LoggedTessel(display, binary, settings)
        hidden = None
        try:
            app.start()
            pid = app.proc.pid
            check(wait_until(lambda: tray_icon(display)), "the tray icon is there")
            time.sleep(1.0)  # start-up done
            at_rest(pid, "shown and untouched", seconds)

            minimized_at_rest(display, app, "minimized", seconds)
            check(ripples(display, pid, app.window), "the banner ripples again")
            app.proc.terminate()
            check(app.wait_exit() == 0, "the program ends normally")

            # Started hidden, watching the clipboard: only the tray icon is there.
            hidden = Tessel(display, binary, {"frmMain": dict(settings["frmMain"], Clipboard="1")})
            hidden.proc = subprocess.Popen([binary, "--hidden"], env=hidden.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            pid = hidden.proc.pid
            icon = wait_until(lambda: tray_icon(display), timeout=20)
            check(icon is not None, "started hidden, the tray icon is there")
            def shown_window():
                return display.xdotool("search", "--onlyvisible", "--name", "^TESSEL$").split()

            check(not shown_window(), "and no window is shown")
            time.sleep(1.0)
            at_rest(pid, "hidden to the tray", seconds)
            owner = display.copy(thunder("http://a/b"))
            try:
                check(wait_until(lambda: hidden.settings().get("frmMain", "linkActiveTab", fallback="") == "1",
                                 timeout=20), "hidden, a link copied by another program is still routed")
            finally:
                owner.terminate()
            display.xdotool("mousemove", *icon_centre(display, icon), "click", 1)
            check(wait_until(shown_window), "a click on the icon shows the window")
            window = shown_window()[0]
            check(ripples(display, pid, window), "the banner ripples again")

            # Docked at the left edge and slid out of sight.
            hidden.window = window
            dock = Docking(display, hidden)
            dock.dock_out_of_sight()
            time.sleep(1.0)
            at_rest(pid, "docked out of sight", seconds)

            began = time.monotonic()
            check(dock.point_at_strip(step=0.01), "pointing at the strip still brings it out")
            print(f"# out again {time.monotonic() - began:.3f} s after the pointer reached the strip")
            check(ripples(display, pid, window), "the banner ripples again")

            display.xdotool("key", "Escape")
            check(hidden.wait_exit() == 0, "Esc ends the program")
        finally:
            app.stop()
            if hidden:
                hidden.stop()
    return 0


if __name__ == "__main__":
    sys.exit(run_part({"clipboard": test_clipboard, "idle": test_idle}))
