#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How a download handed to aria2 ends, told on the desktop: a private
session bus with a recording notification service and file manager
(notification_recorder.py), a real aria2c and a file server on loopback.

  follow_system_test.py <tessel binary> notify
      A link opened in Tessel and answered Yes: when aria2 has the file, the
      notification "下载完成" names it and its action "打开文件夹" shows the
      file in the file manager; a link that answers 404 gives "下载失败" with
      the file name and aria2's own error message.
  follow_system_test.py <tessel binary> tls
      aria2 with a certificate of its own (https, wss): followed through
      Aria2CaFile as the hand-off is, to "下载完成".
  follow_system_test.py <tessel binary> rest
      With a download finished and the WebSocket to aria2 still open, the
      program minimized, and docked out of sight, wakes at most once a second
      (openbox and trayer); the figures are printed for the record.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from loopback_aria2 import Aria2, FileServer, self_signed
from rest_system_test import at_rest, rest_seconds, start_tray_host, wakeups_during
from dock_system_test import (OPT_QQ, SKB_OPTION, STRIP, client_origin, drag_title_past_left_edge, outer,
                               start_openbox)
from window_system_test import tray_icon, viewable
from xsession import SKIP, Display, Tessel, wait_until

SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, with python3-dbus and python3-gi
HERE = os.path.dirname(os.path.abspath(__file__))


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok -", what)


class SessionBus:
    """A private dbus-daemon and the recorder on it."""

    def __init__(self):
        self.record = tempfile.NamedTemporaryFile(prefix="tessel-notify-", suffix=".jsonl", delete=False).name
        self.daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.address = self.daemon.stdout.readline().decode().strip()
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        self.recorder = subprocess.Popen([SYSTEM_PYTHON, os.path.join(HERE, "notification_recorder.py"),
                                          self.record], env=self.env, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        if self.recorder.stdout.readline().decode().strip() != "ready":
            raise RuntimeError("the recording notification service did not start")

    def calls(self, kind):
        with open(self.record) as f:
            return [c for c in map(json.loads, f) if c["call"] == kind]

    def invoke(self, nid, key):
        subprocess.run(["dbus-send", "--session", "--type=method_call",
                        "--dest=org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                        "org.tessel.Test.Invoke", f"uint32:{nid}", f"string:{key}"],
                       env=self.env, check=True, timeout=10)

    def close(self):
        for p in (self.recorder, self.daemon):
            p.terminate()
            p.wait(timeout=10)
        os.unlink(self.record)


def hand_over(display, app, link):
    """Opens `link` through a later start and answers the question Yes."""
    subprocess.run([app.binary, link], env=app.env, capture_output=True, timeout=30)
    box = wait_until(lambda: display.xdotool("search", "--onlyvisible", "--name", "^提示$"), timeout=10)
    check(bool(box), "the question before aria2 is asked")
    box = box.split()[0]
    geo = dict(line.split("=") for line in display.xdotool("getwindowgeometry", "--shell", box).split())
    display.xdotool("mousemove", int(geo["X"]) + int(geo["WIDTH"]) // 2, int(geo["Y"]) + 10)
    time.sleep(0.7)  # keys before the question could be seen are dropped
    display.xdotool("key", "alt+y")
    wait_until(lambda: not display.xdotool("search", "--onlyvisible", "--name", "^提示$"))


def part_notify(binary):
    payload = {"done.bin": os.urandom(300000)}
    files = FileServer(payload)
    aria2 = Aria2()
    bus = SessionBus()
    try:
        with Display() as display:
            display.env.update(DBUS_SESSION_BUS_ADDRESS=bus.address)
            app = Tessel(display, binary, {"services": {"Aria2Rpc": aria2.rpc, "Aria2Secret": aria2.secret}})
            try:
                app.start()
                hand_over(display, app, files.url("done.bin"))
                check(aria2.wait_file("done.bin", payload["done.bin"]), "aria2 downloaded the file")
                told = wait_until(lambda: bus.calls("Notify"), timeout=10)
                check(told and told[0]["summary"] == "下载完成" and told[0]["body"] == "done.bin",
                      f"the notification says it is done and names the file: {told}")
                check(told[0]["actions"] == ["open-folder", "打开文件夹"], "with the action 打开文件夹")
                bus.invoke(told[0]["id"], "open-folder")
                shown = wait_until(lambda: bus.calls("ShowItems"), timeout=10)
                expected = "file://" + os.path.join(aria2.dir, "done.bin")
                check(shown and shown[0]["uris"] == [expected], f"the action shows the file in its folder: {shown}")

                hand_over(display, app, files.url("missing.bin"))
                failed = wait_until(lambda: bus.calls("Notify")[1:], timeout=15)
                error = aria2.call("aria2.tellStopped", 0, 10, ["errorMessage"])
                words = [t["errorMessage"] for t in error if t.get("errorMessage")]
                check(failed and failed[0]["summary"] == "下载失败" and words and
                      failed[0]["body"] == "missing.bin\n" + words[0],
                      f"a 404 is told as failed, with the name and aria2's words: {failed} {words}")
                check(failed[0]["actions"] == [], "without a folder to open")
            finally:
                app.stop()
    finally:
        bus.close()
        aria2.stop()
        files.close()
    return 0


def part_tls(binary):
    folder = tempfile.mkdtemp(prefix="tessel-tls-")
    cert, key = self_signed(folder)
    payload = {"secure.bin": os.urandom(5000)}
    files = FileServer(payload)
    aria2 = Aria2(secure=(cert, key))
    bus = SessionBus()
    try:
        with Display() as display:
            display.env.update(DBUS_SESSION_BUS_ADDRESS=bus.address)
            app = Tessel(display, binary, {"services": {"Aria2Rpc": aria2.rpc, "Aria2Secret": aria2.secret,
                                                        "Aria2CaFile": cert}})
            try:
                app.start()
                hand_over(display, app, files.url("secure.bin"))
                told = wait_until(lambda: bus.calls("Notify"), timeout=15)
                check(told and told[0]["summary"] == "下载完成" and told[0]["body"] == "secure.bin",
                      f"followed over wss with the certificate file: {told}")
            finally:
                app.stop()
    finally:
        bus.close()
        aria2.stop()
        files.close()
        shutil.rmtree(folder, ignore_errors=True)
    return 0


def part_rest(binary):
    seconds = rest_seconds()
    payload = {"small.bin": os.urandom(4096)}
    files = FileServer(payload)
    aria2 = Aria2()
    bus = SessionBus()
    try:
        with Display() as display:
            display.env.update(DBUS_SESSION_BUS_ADDRESS=bus.address)
            wm, wm_home = start_openbox(display)
            host = start_tray_host(display)
            if wm is None or host is None:
                print("skip - openbox or trayer cannot start")
                return SKIP
            app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"},
                                           "services": {"Aria2Rpc": aria2.rpc, "Aria2Secret": aria2.secret}})
            try:
                app.start()
                pid = app.proc.pid
                check(wait_until(lambda: tray_icon(display)), "the tray icon is there")
                hand_over(display, app, files.url("small.bin"))
                check(wait_until(lambda: bus.calls("Notify"), timeout=15), "the download was followed to its end")
                time.sleep(1.5)
                print(f"# shown, channel open: {wakeups_during(pid, 2.0)} voluntary context switches in 2 s")
                display.xdotool("windowminimize", app.window)
                check(wait_until(lambda: not viewable(display, app.window)), "the window is minimized")
                time.sleep(1.0)
                at_rest(pid, "minimized, channel open", seconds)

                # Docked at the left edge and slid out of sight.
                display.xdotool("windowactivate", "--sync", app.window)
                check(wait_until(lambda: viewable(display, app.window)), "the window is back")

                def rect():
                    return outer(display, app.window) or (0, 0, 0, 0)

                check(wait_until(lambda: rect()[:2] == (100, 100)), "the window is at its stored position")
                left, top, width, height = rect()
                app.origin = client_origin(display, app.window)
                app.click(*SKB_OPTION)
                check(wait_until(lambda: rect()[3] > height), "the options strip unfolds")
                height = rect()[3]
                app.click(*OPT_QQ)
                drag_title_past_left_edge(display, left, top)
                wait_until(lambda: rect() == (0, top, width, height), timeout=2)
                display.xdotool("mouseup", 1)
                check(wait_until(lambda: rect() == (-STRIP, top, width, height)),
                      f"dropped at the left edge, it docks ({rect()})")
                display.xdotool("mousemove", 700, 600)
                check(wait_until(lambda: rect() == (STRIP - width, top, width, height)),
                      "with the pointer away it slides out of sight")
                time.sleep(1.0)
                at_rest(pid, "docked out of sight, channel open", seconds)
            finally:
                app.stop()
                for helper in (host, wm):
                    helper.terminate()
                    helper.wait(timeout=10)
                shutil.rmtree(wm_home, ignore_errors=True)
    finally:
        bus.close()
        aria2.stop()
        files.close()
    return 0


def main():
    binary, which = sys.argv[1], sys.argv[2]
    if not os.path.exists(SYSTEM_PYTHON) or shutil.which("dbus-daemon") is None:
        print("skip - no dbus-daemon or system Python")
        return SKIP
    if which == "notify":
        return part_notify(binary)
    if which == "tls":
        return part_tls(binary)
    if which == "rest":
        return part_rest(binary)
    raise SystemExit(f"unknown test {which}")


if __name__ == "__main__":
    sys.exit(main())
