#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How the real window program meets the desktop it starts on.

  desktop_system_test.py <tessel binary> display
      No X server (no DISPLAY, or a Wayland desktop without XWayland, or a
      DISPLAY nobody answers): a clear message and a non-zero exit, never
      Qt's abort.  A Wayland desktop with XWayland opens the window on X11.
  desktop_system_test.py <tessel binary> font
      With no font for Simplified Chinese installed, the program says so once,
      naming the packages, and keeps running.
  desktop_system_test.py <tessel binary> settings
      A settings path that is a folder is reported once and the program runs;
      a damaged settings file is kept as TESSEL.ini.broken and a good one
      written.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

from xsession import Display, Tessel, check, run_part, wait_until


def run_without_window(binary, env, home):
    env = dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_RUNTIME_DIR=os.path.join(home, "run"))
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    return subprocess.run([binary], env=env, capture_output=True, timeout=20, check=False)


def tessel_windows(display):
    out = display.xdotool("search", "--onlyvisible", "--name", "^TESSEL$")
    return out.split() if out else []


def test_display(binary):
    home = tempfile.mkdtemp(prefix="tessel-desktop-")
    base = {k: v for k, v in os.environ.items()
            if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    cases = [
        ("no DISPLAY", {}, "DISPLAY"),
        ("Wayland without XWayland", {"WAYLAND_DISPLAY": "wayland-0"}, "XWayland"),
        ("a DISPLAY nobody answers", {"DISPLAY": ":93"}, "DISPLAY=:93"),
    ]
    for name, extra, words in cases:
        done = run_without_window(binary, dict(base, **extra), home)
        err = done.stderr.decode()
        check(done.returncode == 1, f"{name}: exit status 1 (got {done.returncode})")
        check(words in err and "tessel:" in err, f"{name}: the message says why ({err.strip()!r})")
        check("qt.qpa" not in err and "Qt platform plugin" not in err,
              f"{name}: no bare message of Qt's")
    with Display() as display:
        env = dict(display.env, WAYLAND_DISPLAY="wayland-tessel-test")
        app = Tessel(display, binary)
        app.env.update(env)
        try:
            app.start()
            check(len(tessel_windows(display)) == 1, "Wayland with XWayland: the window opens on X11")
        finally:
            app.stop()


def test_font(binary):
    home = tempfile.mkdtemp(prefix="tessel-font-")
    # A font set without any Chinese face.
    conf = os.path.join(home, "fonts.conf")
    with open(conf, "w") as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
                '<dir>/usr/share/fonts/truetype/dejavu</dir>\n'
                f'<cachedir>{home}/fc-cache</cachedir>\n</fontconfig>\n')
    with Display() as display:
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        try:
            app.start({"FONTCONFIG_FILE": conf})
            check(wait_until(lambda: len(tessel_windows(display)) == 2),
                  "a notice box comes up beside the window")
            time.sleep(0.5)
            app.key("Return")
            check(wait_until(lambda: len(tessel_windows(display)) == 1), "Enter closes the notice")
            check(app.proc.poll() is None, "the program runs on")
            app.proc.send_signal(signal.SIGTERM)
            check(app.wait_exit() == 0, "and ends normally")
            err = app.proc.stderr.read().decode()
            check(err.count("fonts-wqy-microhei") == 1 and "fonts-noto-cjk" in err,
                  f"the notice names the packages, once ({err.strip()!r})")
        finally:
            app.stop()


def test_settings(binary):
    with Display() as display:
        app = Tessel(display, binary)
        os.mkdir(app.ini)  # a folder where the settings file belongs
        try:
            app.start()
            check(wait_until(lambda: len(tessel_windows(display)) == 2),
                  "a folder at the settings path: a notice box comes up")
            app.key("Return")
            check(wait_until(lambda: len(tessel_windows(display)) == 1), "Enter closes it")
            app.proc.send_signal(signal.SIGTERM)
            check(app.wait_exit() == 0, "the program ran and ends normally")
            err = app.proc.stderr.read().decode()
            check(err.count("TESSEL.ini") == 1 and "无法保存" in err,
                  f"the trouble is said once ({err.strip()!r})")
            check(os.path.isdir(app.ini) and not os.listdir(app.ini), "the folder is left alone")
        finally:
            app.stop()

        app = Tessel(display, binary)
        damaged = b"[frmMain]\nfirstrun=1\nTop=1500\nLeft=1500\nleft over from an editor crash\n"
        with open(app.ini, "wb") as f:
            f.write(damaged)
        try:
            app.start()
            check(wait_until(lambda: len(tessel_windows(display)) == 2),
                  "a damaged settings file: a notice box comes up")
            with open(app.ini + ".broken", "rb") as f:
                check(f.read() == damaged, "the damaged file is kept byte for byte as TESSEL.ini.broken")
            app.key("Return")
            app.proc.send_signal(signal.SIGTERM)
            check(app.wait_exit() == 0, "the program ends normally")
            settings = app.settings()
            check(settings["frmMain"].get("Top") is not None and
                  settings["frmMain"].get("linkActiveTab") == "0",
                  "the new settings file holds the position carried over and the run's saves")
        finally:
            app.stop()


if __name__ == "__main__":
    sys.exit(run_part({"display": test_display, "font": test_font, "settings": test_settings}))
