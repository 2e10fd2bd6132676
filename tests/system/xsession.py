# SPDX-License-Identifier: GPL-3.0-or-later
"""A virtual X desktop and the real window program on it, for system tests.

Xvfb runs with -noreset (so it never resets between clients) and -displayfd
(so it picks a free display and tells us once it is ready).  A window
manager, a tray host and a private session bus join it on request and end
with it.  The program gets a settings folder and a runtime folder of its own;
the X clipboard is driven with xclip and the mouse and keyboard with xdotool.
"""

import base64
import configparser
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts
failures = []  # what expect() saw fail


def check(condition, what):
    """A check the rest of the script depends on: a failure ends it."""
    if not condition:
        raise AssertionError(what)
    print("ok -", what)


def expect(condition, what):
    """A check the script goes on after; outcome() counts the failures."""
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def outcome(code=0):
    """The exit status of a script that used expect(): 1 after any failure."""
    print(f"{'FAILED' if failures else 'passed'}: {len(failures)} failure(s)")
    return 1 if failures else code


def run_part(parts):
    """Runs the part of a script named by its second argument on the program
    named by its first; the exit status."""
    binary, which = sys.argv[1], sys.argv[2]
    if which not in parts:
        raise SystemExit(f"unknown test {which}")
    return parts[which](binary) or 0


def thunder(address):
    return "thunder://" + base64.b64encode(b"AA" + address.encode() + b"ZZ").decode() + "/"


def wait_until(condition, timeout=5.0, step=0.05):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def end(proc, timeout=10):
    """Ends a program we started: SIGTERM, then SIGKILL after `timeout` seconds."""
    if proc.poll() is None:
        proc.terminate()
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Display:
    def __init__(self, width=1024, height=768):
        self.size = (width, height)
        self.proc = None
        self.env = None
        self.helpers = []  # programs that end with the display, last started first
        self.folders = []

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
        for helper in reversed(self.helpers):
            end(helper)
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)
        self.proc.terminate()
        self.proc.wait(timeout=10)

    def folder(self, prefix):
        """A temporary folder removed with the display."""
        self.folders.append(tempfile.mkdtemp(prefix=prefix))
        return self.folders[-1]

    def helper(self, args, env=None, stdout=subprocess.DEVNULL):
        """Starts a program that runs as long as the display."""
        self.helpers.append(subprocess.Popen(args, env=env or self.env, stdout=stdout,
                                             stderr=subprocess.DEVNULL))
        return self.helpers[-1]

    def _started(self, args, env, ready):
        try:
            proc = self.helper(args, env)
        except FileNotFoundError:
            return False
        return bool(wait_until(lambda: ready() or proc.poll() is not None)) and proc.poll() is None

    def start_openbox(self):
        """openbox with its stock settings; False when it cannot run here."""
        home = self.folder("tessel-openbox-")
        return self._started(["openbox", "--sm-disable"], dict(self.env, HOME=home, XDG_CONFIG_HOME=home),
                             lambda: "window id" in self.run("xprop", "-root",
                                                             "_NET_SUPPORTING_WM_CHECK").stdout.decode())

    def start_tray_host(self):
        """trayer as a panel at the top right; False when it cannot start."""
        return self._started(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                              "--height", "32", "--SetDockType", "true"], None,
                             lambda: "trayer" in self.run("xwininfo", "-root", "-tree").stdout.decode())

    def start_session_bus(self):
        """A private D-Bus session bus for what starts on the display from now on; its address."""
        bus = self.helper(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        return self.env["DBUS_SESSION_BUS_ADDRESS"]

    def run(self, *args, input=None, timeout=10):
        return subprocess.run(list(args), env=self.env, input=input, capture_output=True,
                              timeout=timeout, check=False)

    def xdotool(self, *args):
        return self.run("xdotool", *map(str, args)).stdout.decode().strip()

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        geo = dict(line.split("=") for line in self.xdotool("getwindowgeometry", "--shell", window).split())
        return int(geo["X"]), int(geo["Y"]), int(geo["WIDTH"]), int(geo["HEIGHT"])

    def find(self, name, timeout=0.0, step=0.05):
        """The first shown window whose name matches `name` within `timeout` seconds, or None."""
        found = wait_until(lambda: self.xdotool("search", "--onlyvisible", "--name", name), timeout, step)
        return found.split()[0] if found else None

    def question(self, timeout=10):
        """The message box of a question (titled 提示) once it is shown, or None."""
        return self.find("^提示$", timeout)

    def answer(self, box, *keys):
        """Presses keys at a question box, with the pointer on its title."""
        x, y, width, _ = self.geometry(box)
        self.xdotool("mousemove", x + width // 2, y + 10)
        # A link's question takes keys only once the keyboard has been quiet
        # for half a second after it appeared.
        time.sleep(0.7)
        self.xdotool("key", *keys)

    def copy(self, text):
        """Puts text on the CLIPBOARD as another program would; xclip stays
        its owner (in the background) until someone else takes over, or
        the display ends."""
        proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        proc.stdin.write(text.encode())
        proc.stdin.close()
        self.helpers.append(proc)
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
        # Everything the program is sent to is on loopback: never through a proxy.
        self.env = dict(display.env, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_RUNTIME_DIR=runtime, HOME=self.home, no_proxy="*", NO_PROXY="*")
        self.proc = None
        self.window = None
        self.origin = None

    def start(self, extra_env=None, args=(), stderr=subprocess.PIPE):
        env = dict(self.env, **(extra_env or {}))
        self.proc = subprocess.Popen([self.binary, *args], env=env, stdout=subprocess.DEVNULL, stderr=stderr)
        self.window = self.display.xdotool("search", "--sync", "--onlyvisible", "--name", "^TESSEL$")
        self.window = self.window.split()[0]
        self.origin = self.display.geometry(self.window)[:2]
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


def rest_seconds():
    """How long each resting state is watched: TESSEL_REST_SECONDS, else 10."""
    return int(os.environ.get("TESSEL_REST_SECONDS", "10"))


def at_rest(pid, what, seconds):
    """Counts the wake-ups of `seconds` at rest; at most one a second (and a
    small margin) passes."""
    count = wakeups_during(pid, seconds)
    print(f"# {what}: {count} voluntary context switches in {seconds} s")
    check(count <= seconds + 2, f"{what}, the program wakes at most once a second ({count} in {seconds} s)")
