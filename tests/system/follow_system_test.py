#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How a download handed to aria2 ends, told on the desktop: a private
session bus with a recording notification service and file manager
(notification_recorder.py), a real aria2c and a file server on loopback.

  follow_system_test.py <tessel binary> notify
      A link opened in Tessel and answered Yes: when aria2 has the file, the
      notification "下载完成" names it and its action "打开文件夹" shows the
      file in the file manager; a link that answers 404 gives "下载失败" with
      the file name and aria2's own error message.  Qt Network (in the
      follower's socket module) is loaded only once a download is followed.
  follow_system_test.py <tessel binary> tls
      aria2 with a certificate of its own (https, wss): followed through
      Aria2CaFile as the hand-off is, to "下载完成".
  follow_system_test.py <tessel binary> rest
      With a download finished and the WebSocket to aria2 still open, the
      program minimized, and docked out of sight, wakes at most once a second
      (openbox and trayer); the figures are printed for the record.
"""

import contextlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import types

from loopback_aria2 import Aria2, FileServer, self_signed
from window_layout import Docking, minimized_at_rest, tray_icon
from xsession import SKIP, Display, Tessel, at_rest, check, rest_seconds, run_part, wait_until, wakeups_during

SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, with python3-dbus and python3-gi
HERE = os.path.dirname(os.path.abspath(__file__))


class Recorder:
    """The display's own session bus with a recording notification service
    and file manager on it."""

    def __init__(self, display):
        display.start_session_bus()
        self.env = display.env
        self.record = os.path.join(display.folder("tessel-notify-"), "calls.jsonl")
        open(self.record, "w").close()
        recorder = display.helper([SYSTEM_PYTHON, os.path.join(HERE, "notification_recorder.py"), self.record],
                                  stdout=subprocess.PIPE)
        if recorder.stdout.readline().decode().strip() != "ready":
            raise RuntimeError("the recording notification service did not start")

    def calls(self, kind):
        with open(self.record) as f:
            return [c for c in map(json.loads, f) if c["call"] == kind]

    def invoke(self, nid, key):
        subprocess.run(["dbus-send", "--session", "--type=method_call",
                        "--dest=org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                        "org.tessel.Test.Invoke", f"uint32:{nid}", f"string:{key}"],
                       env=self.env, check=True, timeout=10)


def network_mapped(pid):
    with open(f"/proc/{pid}/maps") as f:
        return "libQt6Network" in f.read()


def hand_over(display, app, link):
    """Opens `link` through a later start and answers the question Yes."""
    subprocess.run([app.binary, link], env=app.env, capture_output=True, timeout=30)
    box = display.question()
    check(box is not None, "the question before aria2 is asked")
    display.answer(box, "alt+y")
    wait_until(lambda: not display.question(0))


@contextlib.contextmanager
def following(binary, payload, secure=False, window=None):
    """A display with the recorder on its bus, a real aria2c (over https and
    wss with a certificate of its own when `secure`) and `payload` served on
    loopback, and Tessel set to hand over to that aria2, not yet started."""
    scene = types.SimpleNamespace(files=FileServer(payload), folder=tempfile.mkdtemp(prefix="tessel-tls-"))
    services, tls = {}, None
    if secure:
        tls = self_signed(scene.folder)
        services["Aria2CaFile"] = tls[0]
    scene.aria2 = Aria2(secure=tls)
    services.update(Aria2Rpc=scene.aria2.rpc, Aria2Secret=scene.aria2.secret)
    try:
        with Display() as display:
            scene.display, scene.bus = display, Recorder(display)
            scene.app = Tessel(display, binary, dict(window or {}, services=services))
            try:
                yield scene
            finally:
                scene.app.stop()
    finally:
        scene.aria2.stop()
        scene.files.close()
        shutil.rmtree(scene.folder, ignore_errors=True)


def part_notify(binary):
    payload = {"done.bin": os.urandom(300000)}
    with following(binary, payload) as s:
        display, app, aria2, bus = s.display, s.app.start(), s.aria2, s.bus
        check(not network_mapped(app.proc.pid), "nothing of Qt Network is loaded before a download")
        hand_over(display, app, s.files.url("done.bin"))
        check(aria2.wait_file("done.bin", payload["done.bin"]), "aria2 downloaded the file")
        told = wait_until(lambda: bus.calls("Notify"), timeout=10)
        check(told and told[0]["summary"] == "下载完成" and told[0]["body"] == "done.bin",
              f"the notification says it is done and names the file: {told}")
        check(told[0]["actions"] == ["open-folder", "打开文件夹"], "with the action 打开文件夹")
        bus.invoke(told[0]["id"], "open-folder")
        shown = wait_until(lambda: bus.calls("ShowItems"), timeout=10)
        expected = "file://" + os.path.join(aria2.dir, "done.bin")
        check(shown and shown[0]["uris"] == [expected], f"the action shows the file in its folder: {shown}")
        check(network_mapped(app.proc.pid), "the follower's socket module came with the download")

        hand_over(display, app, s.files.url("missing.bin"))
        failed = wait_until(lambda: bus.calls("Notify")[1:], timeout=15)
        error = aria2.call("aria2.tellStopped", 0, 10, ["errorMessage"])
        words = [t["errorMessage"] for t in error if t.get("errorMessage")]
        check(failed and failed[0]["summary"] == "下载失败" and words and
              failed[0]["body"] == "missing.bin\n" + words[0],
              f"a 404 is told as failed, with the name and aria2's words: {failed} {words}")
        check(failed[0]["actions"] == [], "without a folder to open")
    return 0


def part_tls(binary):
    with following(binary, {"secure.bin": os.urandom(5000)}, secure=True) as s:
        hand_over(s.display, s.app.start(), s.files.url("secure.bin"))
        told = wait_until(lambda: s.bus.calls("Notify"), timeout=15)
        check(told and told[0]["summary"] == "下载完成" and told[0]["body"] == "secure.bin",
              f"followed over wss with the certificate file: {told}")
    return 0


def part_rest(binary):
    seconds = rest_seconds()
    with following(binary, {"small.bin": os.urandom(4096)},
                   window={"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}}) as s:
        display, app = s.display, s.app
        if not display.start_openbox() or not display.start_tray_host():
            print("skip - openbox or trayer cannot start")
            return SKIP
        app.start()
        pid = app.proc.pid
        check(wait_until(lambda: tray_icon(display)), "the tray icon is there")
        hand_over(display, app, s.files.url("small.bin"))
        check(wait_until(lambda: s.bus.calls("Notify"), timeout=15), "the download was followed to its end")
        time.sleep(1.5)
        print(f"# shown, channel open: {wakeups_during(pid, 2.0)} voluntary context switches in 2 s")
        minimized_at_rest(display, app, "minimized, channel open", seconds)

        # Docked at the left edge and slid out of sight.
        Docking(display, app).dock_out_of_sight()
        time.sleep(1.0)
        at_rest(pid, "docked out of sight, channel open", seconds)
    return 0


def main():
    if not os.path.exists(SYSTEM_PYTHON) or shutil.which("dbus-daemon") is None:
        print("skip - no dbus-daemon or system Python")
        return SKIP
    return run_part({"notify": part_notify, "tls": part_tls, "rest": part_rest})


if __name__ == "__main__":
    sys.exit(main())
