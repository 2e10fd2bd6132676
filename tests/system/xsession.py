# SPDX-License-Identifier: GPL-3.0-or-later
"""A virtual X display and the real window program on it, for system tests.

Xvfb runs with -noreset (so it never resets between clients) and -displayfd
(so it picks a free display and tells us once it is ready).  The program gets
a settings folder and a runtime folder of its own; the X clipboard is driven
with xclip and the mouse and keyboard with xdotool.
"""

import configparser
import os
import shutil
import subprocess
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts


class Display:
    def __init__(self, width=1024, height=768):
        self.size = (width, height)
        self.proc = None
        self.env = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        w, h = self.size
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{w}x{h}x24",
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip())
        self.env.pop("QT_QPA_PLATFORM", None)
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(timeout=10)

    def run(self, *args, input=None, timeout=10):
        return subprocess.run(list(args), env=self.env, input=input, capture_output=True,
                              timeout=timeout, check=False)

    def xdotool(self, *args):
        return self.run("xdotool", *map(str, args)).stdout.decode().strip()

    def copy(self, text):
        """Puts text on the CLIPBOARD as another program would; xclip stays
        its owner (in the background) until someone else takes over."""
        proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        proc.stdin.write(text.encode())
        proc.stdin.close()
        return proc

    def paste(self):
        out = self.run("xclip", "-selection", "clipboard", "-o")
        return out.stdout.decode() if out.returncode == 0 else None

    def pixel(self, x, y):
        out = self.run("import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-")
        # "0,0: (174,218,231)  #AEDAE7  srgb(...)"
        line = out.stdout.decode().splitlines()[-1]
        hexcode = line.split("#")[1][:6]
        return tuple(int(hexcode[i:i + 2], 16) for i in (0, 2, 4))

    def screenshot(self, path):
        self.run("import", "-window", "root", path, timeout=30)


class Tessel:
    """The program with a prepared settings file."""

    def __init__(self, display, binary, settings=None):
        self.display = display
        self.binary = binary
        self.home = tempfile.mkdtemp(prefix="tessel-system-")
        self.ini = os.path.join(self.home, "config", "TESSEL", "TESSEL.ini")
        os.makedirs(os.path.dirname(self.ini))
        runtime = os.path.join(self.home, "run")
        os.mkdir(runtime, 0o700)
        if settings:
            ini = configparser.ConfigParser()
            ini.optionxform = str
            for group, values in settings.items():
                ini[group] = values
            with open(self.ini, "w") as f:
                ini.write(f, space_around_delimiters=False)
        self.env = dict(display.env, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_RUNTIME_DIR=runtime, HOME=self.home)
        self.proc = None
        self.window = None
        self.origin = None

    def start(self, extra_env=None, args=()):
        env = dict(self.env, **(extra_env or {}))
        self.proc = subprocess.Popen([self.binary, *args], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
        self.window = self.display.xdotool("search", "--sync", "--onlyvisible", "--name", "^TESSEL$")
        self.window = self.window.split()[0]
        geo = dict(line.split("=") for line in
                   self.display.xdotool("getwindowgeometry", "--shell", self.window).split())
        self.origin = (int(geo["X"]), int(geo["Y"]))
        return self

    def at(self, x, y):
        """Screen position of a point of the window's client area."""
        return self.origin[0] + x, self.origin[1] + y

    def click(self, x, y, repeat=1):
        sx, sy = self.at(x, y)
        self.display.xdotool("mousemove", sx, sy, "click", "--repeat", repeat, "--delay", 80, 1)

    def key(self, name):
        sx, sy = self.at(250, 30)
        self.display.xdotool("mousemove", sx, sy)
        self.display.xdotool("key", name)

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def settings(self):
        ini = configparser.ConfigParser()
        ini.optionxform = str
        ini.read(self.ini)
        return ini

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=10)
        shutil.rmtree(self.home, ignore_errors=True)


def wait_until(condition, timeout=5.0, step=0.05):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)
