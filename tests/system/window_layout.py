# SPDX-License-Identifier: GPL-3.0-or-later
"""Where things stand in Tessel's window, and the moves the system tests make
with it: its tabs, pages and options strip, its tray icon, and docking it at
the left screen edge under openbox.

Positions are client-area pixels from the window's layout in twips (15 to
the pixel).
"""

import time

from xsession import at_rest, check, wait_until


def px(twips):
    return round(twips / 15)  # halves to even, as the window does


# The tab strip sits at y 840 and the page frames at (80, 520) on it.
STRIP_Y = px(840)
TAB_CENTRE = [5 + 84 * i + 40 for i in range(4)]  # 80-pixel tabs, 4 apart
TAB_ROW = STRIP_Y + 20                           # inside every tab's hit area
ACTIVE_ONLY_ROW = STRIP_Y + 3                    # only the active tab reaches up here
PAGE = (px(80), STRIP_Y + px(520))

SKB_OPTION = (px(6270) + px(1095) // 2, px(4215) + px(335) // 2)
OPT_QQ = (px(4320) + 8, px(4080) + px(520) + px(255) // 2)   # the auto-hide option's round box
STRIP = 4                                                   # 60 twips left on screen when docked


def inside(frame, control):
    """Centre of `control` (left, top, width, height in twips) inside a frame at `frame` (twips) of a page."""
    left, top, width, height = control
    return (PAGE[0] + px(frame[0]) + px(left) + px(width) // 2,
            PAGE[1] + px(frame[1]) + px(top) + px(height) // 2)


# The video page.
TAB2 = (TAB_CENTRE[2], TAB_ROW)
PASTE_IN = inside((120, 240), (4560, 240, 345, 735))        # skbOnlineflv in fraOnlineflv
COPY_OUT = inside((120, 1440), (4560, 240, 345, 735))       # skbFlvlink in fratxtFlvlink
PARSE = inside((5400, 240), (120, 240, 1575, 315))          # skbParse in fraFlvoperation
FILE_NAME = inside((5400, 240), (120, 2040, 1335, 195))     # lblfilename in fraFlvoperation


def tab1_active(display, app):
    x, y = app.at(TAB_CENTRE[1], ACTIVE_ONLY_ROW)
    return display.pixel(x, y) != (255, 255, 255)


def tray_icon(display):
    """The window id of our icon inside the tray host's panel, or None."""
    for line in display.run("xwininfo", "-root", "-tree").stdout.decode().splitlines():
        if '("panel" "trayer")' in line:
            panel = line.split()[0]
            for row in display.run("xwininfo", "-tree", "-id", panel).stdout.decode().splitlines():
                if '("tessel"' in row:
                    return row.split()[0]
    return None


def icon_centre(display, icon):
    x, y, width, height = display.geometry(icon)
    return x + width // 2, y + height // 2


def viewable(display, window):
    return "IsViewable" in display.run("xwininfo", "-id", window).stdout.decode()


def minimized_at_rest(display, app, what, seconds):
    """Minimizes the window, counts the program's wake-ups at rest, and brings the window back."""
    display.xdotool("windowminimize", app.window)
    check(wait_until(lambda: not viewable(display, app.window)), "the window is minimized")
    time.sleep(1.0)
    at_rest(app.proc.pid, what, seconds)
    display.xdotool("windowactivate", "--sync", app.window)
    check(wait_until(lambda: viewable(display, app.window)), "the window is back")


def outer(display, window):
    """The window's rectangle with the frame openbox put around it:
    (left, top, width, height), screen pixels; None while it has no frame."""
    extents = display.run("xprop", "-id", window, "_NET_FRAME_EXTENTS").stdout.decode()
    if "=" not in extents:
        return None
    left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
    info = {}
    for line in display.run("xwininfo", "-id", window).stdout.decode().splitlines():
        key, _, value = line.strip().partition(":")
        info[key] = value.strip()
    return (int(info["Absolute upper-left X"]) - left, int(info["Absolute upper-left Y"]) - top,
            int(info["Width"]) + left + right, int(info["Height"]) + top + bottom)


def client_origin(display, window):
    """Where the client area starts on the screen, below the title bar."""
    info = display.run("xwininfo", "-id", window).stdout.decode()
    return tuple(int(line.split(":")[1]) for line in info.splitlines() if "Absolute upper-left" in line)


class Docking:
    """The window of `app`, framed by openbox at its stored position (100,
    100), docked at the left screen edge the way a user does it: auto-hide
    set in the unfolded options strip, then dragged by its title bar."""

    def __init__(self, display, app):
        self.display, self.app = display, app
        check(wait_until(lambda: self.rect()[:2] == (100, 100)), "the framed window is at its stored position")
        self.left, self.top, self.width, self.height = self.rect()

    def rect(self):
        return outer(self.display, self.app.window) or (0, 0, 0, 0)

    def shown_at(self, x):
        return (x, self.top, self.width, self.height)

    def set_auto_hide(self):
        self.app.origin = client_origin(self.display, self.app.window)
        self.app.click(*SKB_OPTION)
        check(wait_until(lambda: self.rect()[3] > self.height), "skbOption unfolds the options strip")
        self.height = self.rect()[3]
        self.app.click(*OPT_QQ)

    def drag_past_edge(self):
        """Presses on the title bar and drags it far past the left screen edge;
        the button stays down.  Whether the window is kept at the edge."""
        grip = (self.left + 200, self.top + 10)
        steps = ["mousemove", grip[0], grip[1], "mousedown", 1, "sleep", 0.15]
        for x in range(grip[0] - 40, 49, -40):
            steps += ["mousemove", x, grip[1], "sleep", 0.03]
        steps += ["mousemove", 50, grip[1]]
        self.display.xdotool(*steps)
        # The window manager puts the frame at 50 - 200 = -150; it cannot be
        # stopped from doing so, but the window is moved back at once.
        return wait_until(lambda: self.rect() == self.shown_at(0), timeout=2)

    def drop(self):
        """Lets go with the pointer on the window: it docks and settles 4 pixels past the edge."""
        self.display.xdotool("mouseup", 1)
        check(wait_until(lambda: self.rect() == self.shown_at(-STRIP)),
              f"dropped at the left edge, it docks at x = -{STRIP} (now {self.rect()})")

    def slide_out(self):
        self.display.xdotool("mousemove", 700, 600)
        check(wait_until(lambda: self.rect() == self.shown_at(STRIP - self.width)),
              f"with the pointer away it slides out of sight (now {self.rect()})")

    def dock_out_of_sight(self):
        self.set_auto_hide()
        self.drag_past_edge()
        self.drop()
        self.slide_out()

    def point_at_strip(self, step=0.05):
        """Whether the docked window comes back out when the pointer reaches its strip."""
        self.display.xdotool("mousemove", 1, self.top + self.height // 2)
        return wait_until(lambda: self.rect() == self.shown_at(-STRIP), step=step)

