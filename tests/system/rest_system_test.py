#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The window program at rest and under a flood, on a virtual X display.

  rest_system_test.py <tessel binary> clipboard
      With the clipboard watcher on, another program copies a text of several
      megabytes that starts like an address: it is not routed, the window
      keeps answering (a small link copied afterwards is still routed) and the
      memory it took is given back.
  rest_system_test.py <tessel binary> idle
      Minimized, the program sleeps: its threads wake a few times a second
      at most (voluntary context switches counted from /proc), and the banner
      ripples again once the window is back.

Memory and wake-up figures are printed for the record; the checks only keep
wide margins so that a loaded machine cannot fail them.
"""

import base64
import glob
import os
import subprocess
import sys
import tempfile
import time

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


def wakeups(pid):
    """Voluntary context switches summed over every thread of the process."""
    total = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return total


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


def test_idle(binary):
    with Display() as display:
        # A window manager, so that the window can be minimized at all.
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=display.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: "window id" in display.run("xprop", "-root",
                                                             "_NET_SUPPORTING_WM_CHECK").stdout.decode()
                          or wm.poll() is not None) or wm.poll() is not None:
            print("skip - no window manager could start")
            return SKIP
        app = LoggedTessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        try:
            app.start()
            pid = app.proc.pid
            time.sleep(2.0)  # start-up done, the banner rippling
            start = wakeups(pid)
            time.sleep(2.0)
            shown = wakeups(pid) - start
            print(f"# shown: {shown} voluntary context switches in 2 s")

            display.xdotool("windowminimize", app.window)
            check(wait_until(lambda: "IsViewable" not in display.run("xwininfo", "-id", app.window)
                             .stdout.decode()), "the window is minimized")
            time.sleep(1.0)
            seconds = 5
            start = wakeups(pid)
            time.sleep(seconds)
            rested = wakeups(pid) - start
            print(f"# minimized: {rested} voluntary context switches in {seconds} s")
            # Awake every 30 ms would be well over a hundred; a handful a second is rest.
            check(rested <= 4 * seconds, "minimized, the program wakes at most a few times a second")

            display.xdotool("windowactivate", "--sync", app.window)
            check(wait_until(lambda: "IsViewable" in display.run("xwininfo", "-id", app.window)
                             .stdout.decode()), "the window is back")
            start = wakeups(pid)
            time.sleep(1.0)
            check(wakeups(pid) - start > 10, "the banner ripples again")

            app.proc.terminate()
            check(app.wait_exit() == 0, "the program ends normally")
        finally:
            app.stop()
            wm.terminate()
            wm.wait(timeout=10)
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
