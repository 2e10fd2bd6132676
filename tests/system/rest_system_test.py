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

import base64
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

from dock_system_test import (OPT_QQ, SKB_OPTION, STRIP, client_origin, drag_title_past_left_edge, outer,
                               start_openbox)
from window_system_test import tray_icon, viewable
from xsession import SKIP, Display, Tessel, wait_until


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok -", what)


def thunder(address):
    return "thunder://" + base64.b64encode(b"AA" + address.encode() + b"ZZ").decode() + "/"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def thread_switches(pid):
    """Voluntary context switches of each thread of the process, by thread id."""
    counts = {}
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[status.split("/")[-2]] = int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return counts


def wakeups_during(pid, seconds):
    """Voluntary context switches summed over every thread of the process
    during `seconds`; a thread that ended meanwhile counts one, for its
    ending, which is all that can be seen of it then."""
    before = thread_switches(pid)
    time.sleep(seconds)
    after = thread_switches(pid)
    return sum(after[t] - before.get(t, 0) for t in after) + sum(1 for t in before if t not in after)


class LoggedTessel(Tessel):
    """The program with its window log (first paint, routed texts) in a file."""

    def start(self, extra_env=None):
        self.log = tempfile.NamedTemporaryFile(prefix="tessel-log-", suffix=".txt", delete=False)
        env = dict(self.env, QT_LOGGING_RULES="tessel.window.debug=true", **(extra_env or {}))
        self.proc = subprocess.Popen([self.binary], env=env, stdout=subprocess.DEVNULL, stderr=self.log)
        self.window = self.display.xdotool("search", "--sync", "--onlyvisible", "--name", "^TESSEL$").split()[0]
        return self

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
        owners = []
        try:
            owners.append(display.copy(thunder("http://a/b")))
            check(wait_until(lambda: app.settings().get("frmMain", "linkActiveTab", fallback="") == "1",
                             timeout=20), "a small link is routed")
            time.sleep(1.0)
            before = rss_kib(app.proc.pid)

            size = 8 << 20
            owners.append(display.copy("http://" + "a" * (size - 7)))
            check(wait_until(lambda: app.lines("not routed"), timeout=60),
                  f"a text of {size >> 20} MiB starting with http:// is read and not routed")
            peak = rss_kib(app.proc.pid)

            routed = len(app.lines("routed at"))
            owners.append(display.copy(thunder("http://c/d")))
            check(wait_until(lambda: len(app.lines("routed at")) > routed, timeout=30),
                  "a small link copied afterwards is still routed")
            time.sleep(1.0)
            after = rss_kib(app.proc.pid)
            print(f"# memory: {before} KiB before, {peak} KiB just after reading, {after} KiB after")
            check(after - before < 20 * 1024, "the memory the big text took comes back within 20 MiB")

            app.proc.terminate()
            check(app.wait_exit() == 0, "the program ends normally")
        finally:
            for owner in owners:
                if owner.poll() is None:
                    owner.terminate()
            app.stop()


def rest_seconds():
    """How long each resting state is watched: TESSEL_REST_SECONDS, else 10."""
    return int(os.environ.get("TESSEL_REST_SECONDS", "10"))


def at_rest(pid, what, seconds):
    """Counts the wake-ups of `seconds` at rest; at most one a second (and a
    small margin) passes."""
    count = wakeups_during(pid, seconds)
    print(f"# {what}: {count} voluntary context switches in {seconds} s")
    check(count <= seconds + 2, f"{what}, the program wakes at most once a second ({count} in {seconds} s)")


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


def start_tray_host(display):
    try:
        host = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                 "--height", "32", "--SetDockType", "true"],
                                env=display.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except FileNotFoundError:
        return None
    if not wait_until(lambda: "trayer" in display.run("xwininfo", "-root", "-tree").stdout.decode()
                      or host.poll() is not None) or host.poll() is not None:
        return None
    return host


def click_icon(display, icon):
    geo = dict(line.split("=") for line in display.xdotool("getwindowgeometry", "--shell", icon).split())
    display.xdotool("mousemove", int(geo["X"]) + int(geo["WIDTH"]) // 2,
                    int(geo["Y"]) + int(geo["HEIGHT"]) // 2, "click", 1)


def test_idle(binary):
    seconds = rest_seconds()
    with Display() as display:
        # A window manager, so that the window can be minimized and docked,
        # and a tray host, so that it can be hidden to the tray.
        wm, wm_home = start_openbox(display)
        if wm is None:
            print("skip - openbox cannot start")
            return SKIP
        host = start_tray_host(display)
        if host is None:
            wm.terminate()
            wm.wait(timeout=10)
            shutil.rmtree(wm_home, ignore_errors=True)
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

            display.xdotool("windowminimize", app.window)
            check(wait_until(lambda: not viewable(display, app.window)), "the window is minimized")
            time.sleep(1.0)
            at_rest(pid, "minimized", seconds)
            display.xdotool("windowactivate", "--sync", app.window)
            check(wait_until(lambda: viewable(display, app.window)), "the window is back")
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
            click_icon(display, icon)
            check(wait_until(shown_window), "a click on the icon shows the window")
            window = shown_window()[0]
            check(ripples(display, pid, window), "the banner ripples again")

            # Docked at the left edge and slid out of sight.
            def rect():
                return outer(display, window) or (0, 0, 0, 0)

            hidden.window = window
            check(wait_until(lambda: rect()[:2] == (100, 100)), "the window is at its stored position")
            left, top, width, height = rect()
            hidden.origin = client_origin(display, window)
            hidden.click(*SKB_OPTION)
            check(wait_until(lambda: rect()[3] > height), "the options strip unfolds")
            height = rect()[3]
            hidden.click(*OPT_QQ)
            drag_title_past_left_edge(display, left, top)
            wait_until(lambda: rect() == (0, top, width, height), timeout=2)
            display.xdotool("mouseup", 1)
            check(wait_until(lambda: rect() == (-STRIP, top, width, height)), "dropped at the left edge, it docks")
            display.xdotool("mousemove", 700, 600)
            check(wait_until(lambda: rect() == (STRIP - width, top, width, height)),
                  "with the pointer away it slides out of sight")
            time.sleep(1.0)
            at_rest(pid, "docked out of sight", seconds)

            began = time.monotonic()
            display.xdotool("mousemove", 1, top + height // 2)
            check(wait_until(lambda: rect() == (-STRIP, top, width, height), step=0.01),
                  "pointing at the strip still brings it out")
            print(f"# out again {time.monotonic() - began:.3f} s after the pointer reached the strip")
            check(ripples(display, pid, window), "the banner ripples again")

            display.xdotool("key", "Escape")
            check(hidden.wait_exit() == 0, "Esc ends the program")
        finally:
            app.stop()
            if hidden:
                hidden.stop()
            for helper in (host, wm):
                helper.terminate()
                helper.wait(timeout=10)
            shutil.rmtree(wm_home, ignore_errors=True)
    return 0


def main():
    binary, which = sys.argv[1], sys.argv[2]
    if which == "clipboard":
        test_clipboard(binary)
        return 0
    if which == "idle":
        return test_idle(binary)
    raise SystemExit(f"unknown test {which}")


if __name__ == "__main__":
    sys.exit(main())
