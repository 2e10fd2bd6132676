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

import sys
import time

from window_layout import PAGE, TAB_CENTRE, TAB_ROW, icon_centre, px, tab1_active, tray_icon, viewable
from xsession import SKIP, Display, Tessel, check, run_part, thunder, wait_until

TO_GENERAL = (PAGE[0] + px(5040) + px(120) + px(1815) // 2,
              PAGE[1] + px(240) + px(240) + px(305) // 2)
TXT_OUTPUT = (PAGE[0] + px(120) + px(120) + px(3975) // 2,
              PAGE[1] + px(1440) + px(240) + px(735) // 2)


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
        try:
            check(app.origin == (100, 100), "the window opens at its stored position")
            check(not tab1_active(display, app), "the first page is in front at start")

            display.copy(thunder("http://a/b"))
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
            display.copy(thunder("http://c/d"))
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
            app.stop()


def test_terminate(binary):
    """A request to terminate closes the window the ordinary way."""
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500", "Clipboard": "1"}}
    with Display() as display:
        app = Tessel(display, binary, settings).start()
        display.copy(thunder("http://a/b"))
        try:
            check(wait_until(lambda: app.settings().get("frmMain", "linkActiveTab", fallback="") == "1"),
                  "a routed link sets the per-run flag")
            app.proc.terminate()
            check(app.wait_exit() == 0, "SIGTERM ends the program normally")
            check(app.settings()["frmMain"].get("linkActiveTab") == "0", "and the unload reset the flag")
        finally:
            app.stop()


def test_tray(binary):
    with Display() as display:
        if not display.start_tray_host():
            print("skip - no tray host could start")
            return SKIP
        wm_ready = display.start_openbox()  # so that the window can be minimized at all
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
    return 0


def test_late_tray(binary):
    with Display() as display:
        wm_ready = display.start_openbox()
        app = Tessel(display, binary, {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"}})
        try:
            # start() waits for the window to be on screen: hidden would time out.
            app.start(args=["--hidden"])
            check(viewable(display, app.window), "--hidden with no tray host leaves the window on screen")
            if not display.start_tray_host():
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
    return 0


if __name__ == "__main__":
    sys.exit(run_part({"clipboard": test_clipboard, "tray": test_tray, "latetray": test_late_tray,
                       "terminate": test_terminate}))
