#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real window program on a virtual X display.

  window_system_test.py <tessel binary> clipboard
      Links put on the X clipboard by another program land on the conversion
      page, which is brought to the front once per run; a click on a command
      button and a double-click on the output box put the result on the X
      clipboard; Esc closes the window and the per-run flags read 0 after.
  window_system_test.py <tessel binary> terminate
      SIGTERM closes the window like its close button: the settings are saved.
  window_system_test.py <tessel binary> tray
      With a tray host running, the icon is there; its menu's exit item ends
      the program, removes the icon and saves the settings.  Skipped (77) when
      no tray host can start.
"""

import base64
import subprocess
import sys
import time

from xsession import SKIP, Display, Tessel, wait_until


def px(twips):
    return round(twips / 15)  # halves to even, as the window does


# Client-area positions from the window's layout (twips, 15 to the pixel);
# the tab strip sits at y 840 and the page frames at (80, 520) on it.
STRIP_Y = px(840)
TAB_CENTRE = {0: 5 + 40, 1: 5 + 80 + 4 + 40}   # tabs are 80 pixels wide here
TAB_ROW = STRIP_Y + 20                           # inside every tab's hit area
ACTIVE_ONLY_ROW = STRIP_Y + 3                    # only the active tab reaches up here
PAGE = (px(80), STRIP_Y + px(520))
TO_GENERAL = (PAGE[0] + px(5040) + px(120) + px(1815) // 2,
              PAGE[1] + px(240) + px(240) + px(305) // 2)
TXT_OUTPUT = (PAGE[0] + px(120) + px(120) + px(3975) // 2,
              PAGE[1] + px(1440) + px(240) + px(735) // 2)


def thunder(address):
    return "thunder://" + base64.b64encode(b"AA" + address.encode() + b"ZZ").decode() + "/"


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok -", what)


def tab1_active(display, app):
    x, y = app.at(TAB_CENTRE[1], ACTIVE_ONLY_ROW)
    return display.pixel(x, y) != (255, 255, 255)


def convert_and_copy_out(display, app):
    """skbTogeneral, then a double-click on txtOutput; what reached the X clipboard."""
    app.click(*TO_GENERAL)
    app.click(*TXT_OUTPUT, repeat=2)
    time.sleep(0.3)
    return display.paste()


def test_clipboard(binary):
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500", "Clipboard": "1"}}
    with Display() as display:
        app = Tessel(display, binary, settings).start()
        owners = []
        try:
            check(app.origin == (100, 100), "the window opens at its stored position")
            check(not tab1_active(display, app), "the first page is in front at start")

            owners.append(display.copy(thunder("http://a/b")))
            check(wait_until(lambda: tab1_active(display, app)),
                  "a link copied elsewhere brings the conversion page to the front")
            check(wait_until(lambda: app.settings().get("frmMain", "linkActiveTab", fallback="") == "1"),
                  "the per-run flag is stored")
            check(wait_until(lambda: convert_and_copy_out(display, app) == "http://a/b", timeout=3),
                  "skbTogeneral and a double-click on txtOutput put http://a/b on the X clipboard")
            # Had the copy come back into txtInput, converting again would
            # complain and the complaint would be copied out instead.
            check(convert_and_copy_out(display, app) == "http://a/b",
                  "the program's own copy does not come back into txtInput")

            app.click(TAB_CENTRE[0], TAB_ROW)
            check(wait_until(lambda: not tab1_active(display, app)), "the user goes back to the first page")
            owners.append(display.copy(thunder("http://c/d")))
            time.sleep(1.0)
            check(not tab1_active(display, app), "a second link does not switch the page again")
            app.click(TAB_CENTRE[1], TAB_ROW)
            check(wait_until(lambda: tab1_active(display, app)), "the user opens the conversion page")
            check(convert_and_copy_out(display, app) == "http://c/d",
                  "the second link was put into txtInput all the same")

            app.key("Escape")
            check(app.wait_exit() == 0, "Esc closes the window and ends the program")
            flags = app.settings()["frmMain"]
            check(flags.get("linkActiveTab") == "0" and flags.get("UDownActiveTab") == "0",
                  "after the exit the per-run flags read 0")
        finally:
            for owner in owners:
                if owner.poll() is None:
                    owner.terminate()
            app.stop()


def test_terminate(binary):
    """A request to terminate closes the window the ordinary way."""
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500", "Clipboard": "1"}}
    with Display() as display:
        app = Tessel(display, binary, settings).start()
        owner = display.copy(thunder("http://a/b"))
        try:
            check(wait_until(lambda: app.settings().get("frmMain", "linkActiveTab", fallback="") == "1"),
                  "a routed link sets the per-run flag")
            app.proc.terminate()
            check(app.wait_exit() == 0, "SIGTERM ends the program normally")
            check(app.settings()["frmMain"].get("linkActiveTab") == "0", "and the unload reset the flag")
        finally:
            owner.terminate()
            app.stop()


def tray_icon(display):
    """The window id of our icon inside the tray host's panel, or None."""
    tree = display.run("xwininfo", "-root", "-tree").stdout.decode().splitlines()
    for i, line in enumerate(tree):
        if '("panel" "trayer")' in line:
            panel = line.split()[0]
            inside = display.run("xwininfo", "-tree", "-id", panel).stdout.decode().splitlines()
            for row in inside:
                if '("tessel"' in row:
                    return row.split()[0]
    return None


def viewable(display, window):
    return "IsViewable" in display.run("xwininfo", "-id", window).stdout.decode()


def start_tray_host(display):
    """trayer on the display, or None when it cannot start."""
    try:
        host = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "request", "--height", "32", "--SetDockType", "true"],
                                env=display.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except FileNotFoundError:
        return None
    if not wait_until(lambda: "trayer" in display.run("xwininfo", "-root", "-tree").stdout.decode()
                      or host.poll() is not None) or host.poll() is not None:
        return None
    return host


def start_window_manager(display):
    """openbox, so that the window can be minimized at all; (process, ready)."""
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=display.env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ready = wait_until(lambda: "window id" in display.run("xprop", "-root",
                                                          "_NET_SUPPORTING_WM_CHECK").stdout.decode()
                       or wm.poll() is not None) and wm.poll() is None
    return wm, ready


def icon_centre(display, icon):
    geo = dict(line.split("=") for line in display.xdotool("getwindowgeometry", "--shell", icon).split())
    return int(geo["X"]) + int(geo["WIDTH"]) // 2, int(geo["Y"]) + int(geo["HEIGHT"]) // 2


def test_tray(binary):
    with Display() as display:
        host = start_tray_host(display)
        if host is None:
            print("skip - no tray host could start")
            return SKIP
        wm, wm_ready = start_window_manager(display)
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        try:
            app.start()
            icon = wait_until(lambda: tray_icon(display))
            check(icon is not None, "the tray icon is in the tray host")
            cx, cy = icon_centre(display, icon)
            if wm_ready:
                display.xdotool("mousemove", cx, cy, "mousedown", 1)
                time.sleep(0.3)
                check(viewable(display, app.window), "pressing the left button on the icon does nothing yet")
                display.xdotool("mouseup", 1)
                check(wait_until(lambda: not viewable(display, app.window)),
                      "releasing it minimizes the window")
                display.xdotool("mousemove", cx, cy, "click", 1)
                check(wait_until(lambda: viewable(display, app.window)), "the next one restores it")
            display.xdotool("mousemove", cx, cy, "click", 3)
            time.sleep(0.5)
            display.xdotool("key", "e")
            check(app.wait_exit() == 0, "the menu's exit item ends the program")
            check(tray_icon(display) is None, "the icon is gone")
            check(app.settings()["frmMain"].get("linkActiveTab") == "0", "the window's unload ran")
        finally:
            app.stop()
            for helper in (host, wm):
                helper.terminate()
                helper.wait(timeout=10)
    return 0


def test_late_tray(binary):
    with Display() as display:
        wm, wm_ready = start_window_manager(display)
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        host = None
        try:
            # start() waits for the window to be on screen: hidden would time out.
            app.start(args=["--hidden"])
            check(viewable(display, app.window), "--hidden with no tray host leaves the window on screen")
            host = start_tray_host(display)
            if host is None:
                print("skip - no tray host could start")
                return SKIP
            icon = wait_until(lambda: tray_icon(display))
            check(icon is not None, "a tray host started afterwards gets the icon")
            if wm_ready:
                cx, cy = icon_centre(display, icon)
                display.xdotool("mousemove", cx, cy, "click", 1)
                check(wait_until(lambda: not viewable(display, app.window)), "its click minimizes the window")
                display.xdotool("mousemove", cx, cy, "click", 1)
                check(wait_until(lambda: viewable(display, app.window)), "the next one restores it")
        finally:
            app.stop()
            for helper in (host, wm):
                if helper:
                    helper.terminate()
                    helper.wait(timeout=10)
    return 0


def main():
    binary, which = sys.argv[1], sys.argv[2]
    if which == "clipboard":
        test_clipboard(binary)
        return 0
    if which == "tray":
        return test_tray(binary)
    if which == "latetray":
        return test_late_tray(binary)
    if which == "terminate":
        test_terminate(binary)
        return 0
    raise SystemExit(f"unknown test {which}")


if __name__ == "__main__":
    sys.exit(main())
