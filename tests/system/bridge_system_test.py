#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Links opened from the desktop, on a virtual display with a real aria2c.

  bridge_system_test.py TESSEL options   --help, --version, a wrong option, no display
  bridge_system_test.py TESSEL forward   a later start hands its link over; the
                                         question: No downloads nothing, Yes does;
                                         no arguments brings the window back
  bridge_system_test.py TESSEL stale     a socket left by a crashed program
  bridge_system_test.py TESSEL hostile   100 MiB, not text, silence, a burst of 1000
  bridge_system_test.py TESSEL batch     three links at one start: one question, three
                                         files under their Chinese names
  bridge_system_test.py TESSEL refuse    a later start that cannot hand over: too
                                         many links, one too long, a busy window, a
                                         flooded socket, a folder at its name
  bridge_system_test.py TESSEL straykey  under openbox, y's typed as the question comes up
                                         start no download; a y after a pause does
  bridge_system_test.py TESSEL xdg BUILD-DIR
                                         installed into a prefix, the scheme
                                         handler of a fresh XDG configuration,
                                         links opened with xdg-open
"""

import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from loopback_aria2 import Aria2, FileServer
from xsession import SKIP, Display, Tessel, end, expect, outcome, rss_kib, thunder, wait_until

BINARY = sys.argv[1]
PART = sys.argv[2]


def message(items):
    out = b"TSL1" + struct.pack(">I", len(items))
    for item in items:
        out += struct.pack(">I", len(item)) + item
    return out


class Session:
    """The program's environment (settings pointing at aria2) on a display."""

    def __init__(self, display, aria2):
        self.display = display
        self.t = Tessel(display, BINARY, {"services": {"Aria2Rpc": aria2.rpc, "Aria2Secret": aria2.secret}})
        self.env = dict(self.t.env)
        self.env.pop("XDG_CURRENT_DESKTOP", None)
        self.first = None

    def start(self, *args, env=None):
        self.first = subprocess.Popen([BINARY, *args], env=env or self.env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE)
        self.window()
        return self.first

    def window(self, timeout=20):
        return self.display.find("^TESSEL$", timeout)

    def later(self, *args):
        """A later start; returns (exit status, seconds until it ended)."""
        began = time.monotonic()
        proc = subprocess.run([BINARY, *args], env=self.env, capture_output=True, timeout=30)
        return proc.returncode, time.monotonic() - began, proc.stderr.decode()

    def question(self, timeout=10):
        return self.display.question(timeout)

    def answer(self, window, keys):
        self.display.answer(window, *keys)
        return wait_until(lambda: not self.display.question(0))

    def socket_path(self):
        number = self.display.env["DISPLAY"].lstrip(":")
        return os.path.join(self.t.env["XDG_RUNTIME_DIR"], "tessel", "instance-_" + number)

    def rss_kib(self):
        return rss_kib(self.first.pid)

    def stop(self):
        if self.first:
            end(self.first, timeout=5)
        self.t.stop()


def part_options():
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QT_QPA_PLATFORM"] = "xcb"  # would abort if a window were made
    expected = os.environ.get("TESSEL_EXPECTED_VERSION")
    for flag in ("--version", "-v"):
        out = subprocess.run([BINARY, flag], env=env, capture_output=True, timeout=10)
        text = out.stdout.decode()
        expect(out.returncode == 0 and re.fullmatch(r"tessel [0-9][0-9A-Za-z.+~-]*\n", text) is not None and
               (expected is None or text == f"tessel {expected}\n"), f"{flag} without a display: {text!r}")
    out = subprocess.run([BINARY, "--help"], env=env, capture_output=True, timeout=10)
    text = out.stdout.decode()
    expect(out.returncode == 0 and "用法：tessel [选项]" in text and "--hidden" in text, "--help without a display")
    out = subprocess.run([BINARY, "--no-such-option", "thunder://x"], env=env, capture_output=True, timeout=10)
    err = out.stderr.decode()
    expect(out.returncode == 2 and err.count("\n") == 1 and "未知选项" in err and "--help" in err,
           f"a wrong option: one line in Chinese, 2: {err!r}")


def part_forward():
    payload = {"first.bin": os.urandom(2048), "later.bin": os.urandom(4096)}
    files = FileServer(payload)
    aria2 = Aria2()
    with Display() as display:
        s = Session(display, aria2)
        try:
            s.start()
            expect(s.window() is not None, "the first start shows its window")

            status, seconds, err = s.later(thunder(files.url("later.bin")))
            expect(status == 0, f"a later start hands over and exits 0 ({err!r})")
            print(f"     hand-over took {seconds * 1000:.0f} ms")
            box = s.question()
            expect(box is not None, "the running window asks the question")
            expect(s.answer(box, ["Escape"]), "Escape closes the question")
            time.sleep(0.5)
            expect(aria2.task_count() == 0, "No hands nothing to aria2")

            status, seconds, _ = s.later(thunder(files.url("later.bin")))
            box = s.question()
            expect(box is not None and s.answer(box, ["Return"]), "Return takes the default button")
            time.sleep(0.5)
            expect(aria2.task_count() == 0, "the default button is No")

            s.later(files.url("later.bin"))
            box = s.question()
            expect(box is not None and s.answer(box, ["alt+y"]), "Alt+Y answers Yes")
            expect(aria2.wait_file("later.bin", payload["later.bin"]), "aria2 downloaded the file, content checked")

            window = s.window()
            display.xdotool("windowminimize", window)
            wait_until(lambda: not display.xdotool("search", "--onlyvisible", "--name", "^TESSEL$"))
            status, seconds, _ = s.later()
            expect(status == 0, "a later start without arguments exits 0")
            expect(s.window(timeout=5) is not None, "and brings the minimized window back")
            expect(s.question(timeout=1) is None, "without asking anything")
            expect(s.first.poll() is None, "the first program still runs")
        finally:
            s.stop()
    aria2.stop()
    files.close()


def part_batch():
    payload = {"影视 第1集.mp4": os.urandom(2048), "b.bin": os.urandom(1024), "中文资料.txt": os.urandom(512)}
    files = FileServer(payload)
    aria2 = Aria2()
    with Display() as display:
        s = Session(display, aria2)
        try:
            # A thunder link of UTF-8 bytes, a plain address, a typed Chinese one.
            s.start(thunder(files.url("影视 第1集.mp4")), files.url("b.bin"), files.url("中文资料.txt"))
            box = s.question(timeout=15)
            expect(box is not None and s.answer(box, ["alt+y"]), "one question for the three; Yes")
            expect(s.question(timeout=2) is None, "and no second question")
            for name, data in payload.items():
                expect(aria2.wait_file(name, data), f"aria2 downloaded {name}, content checked")
            expect(aria2.task_count() == 3, f"three tasks: {aria2.files()}")
        finally:
            s.stop()
    aria2.stop()
    files.close()


def part_stale():
    aria2 = Aria2()
    with Display() as display:
        s = Session(display, aria2)
        try:
            path = s.socket_path()
            os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
            dead = socket.socket(socket.AF_UNIX)
            dead.bind(path)
            dead.close()  # the file stays, nobody listens: a crashed program's socket
            expect(os.path.exists(path), "a stale socket is in place")
            s.start()
            expect(s.window() is not None, "the program starts over a stale socket")
            status, _, err = s.later()
            expect(status == 0, f"and listens on it: a later start hands over ({err!r})")
            expect(s.first.poll() is None, "the first program still runs")
        finally:
            s.stop()
    aria2.stop()


def part_straykey():
    payload = {"typed.bin": os.urandom(2048)}
    files = FileServer(payload)
    aria2 = Aria2()
    with Display() as display:
        if not display.start_openbox():
            print("skip - openbox cannot start")
            aria2.stop()
            files.close()
            return SKIP
        s = Session(display, aria2)
        try:
            s.start()
            # Someone is typing as the question comes up and takes the keyboard.
            typing = subprocess.Popen(["xdotool", "type", "--delay", "60", "y" * 80], env=display.env)
            s.later(thunder(files.url("typed.bin")))
            box = s.question()
            expect(box is not None, "the opened link asks its question")
            expect(typing.poll() is None, "while the typing goes on")
            typing.wait(timeout=30)
            time.sleep(1.0)
            expect(display.question(0) is not None,
                   "the typed y's leave the question open")
            expect(aria2.task_count() == 0, "and start no download")
            display.xdotool("key", "y")
            expect(aria2.wait_file("typed.bin", payload["typed.bin"]), "a y after a pause answers Yes")
        finally:
            s.stop()
    aria2.stop()
    files.close()
    return 0


def part_hostile():
    aria2 = Aria2()
    with Display() as display:
        s = Session(display, aria2)
        try:
            s.start()
            path = s.socket_path()
            time.sleep(1)
            rss_before = s.rss_kib()

            # 100 MiB in one message: cut off, nothing opened.
            sent = 0
            with socket.socket(socket.AF_UNIX) as c:
                c.connect(path)
                c.settimeout(10)
                # Well-formed items of the largest size, more of them than fit.
                item = struct.pack(">I", 65536) + b"x" * 65536
                try:
                    c.sendall(b"TSL1" + struct.pack(">I", 256))
                    while sent < 100 * (1 << 20):
                        c.sendall(item)
                        sent += len(item)
                except OSError:
                    pass
            expect(sent < 100 * (1 << 20), f"a 100 MiB message is cut off (after {sent / (1 << 20):.1f} MiB)")

            # Not text.
            with socket.socket(socket.AF_UNIX) as c:
                c.connect(path)
                c.settimeout(5)
                c.sendall(message([b"http://127.0.0.1/\xc4\xe3\xff"]))
                try:
                    reply = c.recv(1)
                except OSError:
                    reply = b""
            expect(reply == b"", "a message that is not text gets no receipt")
            expect(s.question(timeout=1) is None, "and asks nothing")

            # A connection that never sends is closed; others get through meanwhile.
            silent = socket.socket(socket.AF_UNIX)
            silent.connect(path)
            status, _, _ = s.later()
            expect(status == 0, "a later start gets through beside a silent connection")
            silent.settimeout(10)
            began = time.monotonic()
            try:
                closed = silent.recv(1) == b""
            except OSError:
                closed = True
            silent.close()
            expect(closed, f"the silent connection is closed after {time.monotonic() - began:.1f} s")

            # A burst of 1000 forwarded links.
            receipts = []
            lock = threading.Lock()

            def send(i):
                try:
                    with socket.socket(socket.AF_UNIX) as c:
                        c.settimeout(20)
                        c.connect(path)
                        c.sendall(message([f"http://127.0.0.1:1/f{i}".encode()]))
                        got = c.recv(1)
                except OSError:
                    got = b""
                with lock:
                    receipts.append(got)

            began = time.monotonic()
            threads = []
            for i in range(1000):
                t = threading.Thread(target=send, args=(i,))
                t.start()
                threads.append(t)
                if len(threads) >= 50:
                    threads.pop(0).join()
            for t in threads:
                t.join()
            took = time.monotonic() - began
            expect(len(receipts) == 1000, "every sender of the burst got an answer or a close")
            got = receipts.count(bytes([1]))
            print(f"     burst: {got} receipts in {took:.1f} s")
            time.sleep(1)
            rss_after = s.rss_kib()
            print(f"     resident memory {rss_before // 1024} MiB before, {rss_after // 1024} MiB after")
            expect(rss_after - rss_before < 64 * 1024, "memory stays bounded")
            expect(s.first.poll() is None, "the program survived")
            # Links arriving together are gathered for about a second before
            # their one question: wait for it, then make sure it stays alone.
            deadline = time.monotonic() + 10
            questions = []
            while not questions and time.monotonic() < deadline:
                questions = display.xdotool("search", "--onlyvisible", "--name", "^提示$").split()
                time.sleep(0.2)
            time.sleep(1.5)
            questions = display.xdotool("search", "--onlyvisible", "--name", "^提示$").split()
            expect(len(questions) == 1, f"one question at a time ({len(questions)} open)")
            expect(aria2.task_count() == 0, "nothing downloaded without a Yes")
        finally:
            s.stop()
    aria2.stop()


def part_refuse():
    """A later start that cannot hand its links over ends with a message, never
    as a second window, and the first never asks about what it gave up on."""
    aria2 = Aria2()
    with Display() as display:
        s = Session(display, aria2)
        try:
            # The settings file's lock a folder: the window still starts,
            # answers and ends on SIGTERM.
            os.makedirs(s.t.ini + ".lock")
            s.start()
            expect(s.window() is not None, "the window appears with the settings lock a folder")
            path = s.socket_path()

            def windows():
                return len(display.xdotool("search", "--onlyvisible", "--name", "^TESSEL$").split())

            # Only the programs on this test's own display: other tests may
            # run the same binary at the same time.
            ours = ("DISPLAY=" + display.env["DISPLAY"]).encode() + b"\0"

            def programs():
                found = 0
                for pid in filter(str.isdigit, os.listdir("/proc")):
                    try:
                        if os.readlink(f"/proc/{pid}/exe") != os.path.realpath(BINARY):
                            continue
                        with open(f"/proc/{pid}/environ", "rb") as f:
                            found += ours in f.read()
                    except OSError:
                        pass
                return found

            time.sleep(1)
            shown = windows()  # the window, and the notice about the settings

            def refused(what, *args, slowest=15):
                status, seconds, err = s.later(*args)
                expect(status not in (0, None) and "没能把链接交给运行中的 Tessel" in err and seconds < slowest,
                       f"{what}: the later start ends with {status} in {seconds:.1f} s and says why ({err[:160]!r})")
                time.sleep(1)
                expect(windows() == shown and programs() == 1, f"{what}: no second window")
                return err

            err = refused("300 links", *[f"http://127.0.0.1:1/f{i}" for i in range(300)], slowest=5)
            expect("256" in err, "the limit is named")
            err = refused("a link of 70 KiB", "http://127.0.0.1:1/" + "x" * 70000, slowest=5)
            expect("64 KiB" in err, "the length limit is named")

            # Busy for more than five seconds: stopped, then woken after the
            # later start gave up; the link it gave up on is not asked about.
            os.kill(s.first.pid, 19)
            try:
                refused("a busy window", thunder("http://127.0.0.1:1/busy.bin"))
            finally:
                os.kill(s.first.pid, 18)
            expect(s.question(timeout=4) is None, "the link given up on is never asked about")

            # Flooded: every connection slot and the queue held by silent peers.
            flood = []
            for _ in range(80):
                c = socket.socket(socket.AF_UNIX)
                c.setblocking(False)
                try:
                    c.connect(path)
                except OSError:
                    pass
                flood.append(c)
            refused("a flooded socket", "http://127.0.0.1:1/flooded.bin")
            for c in flood:
                c.close()

            # A folder where the socket was: nobody can be reached, yet one runs.
            os.rename(path, path + ".moved")
            os.mkdir(path)
            refused("a folder at the socket's name", "http://127.0.0.1:1/folder.bin")
            os.rmdir(path)
            os.rename(path + ".moved", path)
            expect(s.question(timeout=3) is None, "nothing given up on is asked about later")

            status, _, err = s.later()
            expect(status == 0, f"the socket works again afterwards ({err!r})")
            expect(s.window(timeout=5) is not None and s.first.poll() is None, "the window still answers")
            s.first.terminate()
            try:
                s.first.wait(timeout=5)
                ended = True
            except subprocess.TimeoutExpired:
                ended = False
            expect(ended, "and ends on SIGTERM")
        finally:
            s.stop()
    aria2.stop()


def part_xdg():
    build = sys.argv[3]
    prefix = tempfile.mkdtemp(prefix="tessel-prefix-")
    try:
        out = subprocess.run(["cmake", "--install", build, "--prefix", prefix], capture_output=True, timeout=120)
        expect(out.returncode == 0, f"installs into a prefix ({out.stderr.decode()[-300:]!r})")
        apps = os.path.join(prefix, "share", "applications")
        entries = [e for e in (os.listdir(apps) if os.path.isdir(apps) else []) if e.endswith(".desktop")]
        entry = next((e for e in entries
                      if "x-scheme-handler/thunder" in open(os.path.join(apps, e), encoding="utf-8").read()), None)
        text = open(os.path.join(apps, entry), encoding="utf-8").read() if entry else ""
        if not entry:
            print("SKIP the installed desktop entry does not declare the link schemes yet")
            sys.exit(SKIP)
        expect("Exec=tessel %U" in text, "the desktop entry passes the links")

        payload = {"clicked.bin": os.urandom(3333), "second.bin": os.urandom(1111)}
        files = FileServer(payload)
        aria2 = Aria2()
        with Display() as display:
            s = Session(display, aria2)
            home = s.t.home
            env = dict(s.env, PATH=os.path.join(prefix, "bin") + ":" + os.environ["PATH"],
                       XDG_DATA_HOME=os.path.join(home, "data"),
                       XDG_DATA_DIRS=os.path.join(prefix, "share") + ":/usr/share",
                       XDG_CONFIG_DIRS=os.path.join(home, "etc-xdg"))
            for var in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                        "BROWSER"):
                env.pop(var, None)
            s.env = env
            try:
                for scheme in ("thunder", "flashget", "qqdl", "fs2you"):
                    subprocess.run(["xdg-mime", "default", entry, f"x-scheme-handler/{scheme}"],
                                   env=env, check=True, timeout=30)
                    q = subprocess.run(["xdg-mime", "query", "default", f"x-scheme-handler/{scheme}"], env=env,
                                       capture_output=True, timeout=30)
                    expect(q.stdout.decode().strip() == entry, f"handler of {scheme}://")

                # No Tessel running: xdg-open starts it with the link.
                opener = subprocess.Popen(["xdg-open", thunder(files.url("clicked.bin"))], env=env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                expect(s.window() is not None, "xdg-open started Tessel")
                box = s.question(timeout=15)
                expect(box is not None and s.answer(box, ["alt+y"]), "asked once; Yes")
                expect(aria2.wait_file("clicked.bin", payload["clicked.bin"]), "the clicked link was downloaded")
                started = [p for p in os.listdir("/proc") if p.isdigit() and _is_tessel(p, prefix)]
                s.first = _Pid(int(started[0])) if started else None

                # Tessel running: the link goes to it; No downloads nothing.
                before = aria2.task_count()
                out = subprocess.run(["xdg-open", thunder(files.url("second.bin"))], env=env,
                                     capture_output=True, timeout=30)
                expect(out.returncode == 0, "xdg-open with Tessel running returns 0")
                box = s.question()
                expect(box is not None and s.answer(box, ["Escape"]), "asked again; No")
                time.sleep(0.5)
                expect(aria2.task_count() == before and "second.bin" not in aria2.files(),
                       "No downloaded nothing")
                if s.first:
                    s.first.terminate()
                opener.wait(timeout=10)
            finally:
                s.stop()
        aria2.stop()
        files.close()
    finally:
        shutil.rmtree(prefix, ignore_errors=True)


def _is_tessel(pid, prefix):
    try:
        return os.readlink(f"/proc/{pid}/exe").startswith(prefix)
    except OSError:
        return False


class _Pid:
    def __init__(self, pid):
        self.pid = pid

    def poll(self):
        return None if os.path.exists(f"/proc/{self.pid}") else 0

    def terminate(self):
        try:
            os.kill(self.pid, 15)
        except OSError:
            pass

    def wait(self, timeout=None):
        wait_until(lambda: not os.path.exists(f"/proc/{self.pid}"), timeout=timeout or 5)

    def kill(self):
        try:
            os.kill(self.pid, 9)
        except OSError:
            pass


code = {"options": part_options, "forward": part_forward, "stale": part_stale, "hostile": part_hostile,
        "batch": part_batch, "refuse": part_refuse, "xdg": part_xdg, "straykey": part_straykey}[PART]()
sys.exit(outcome(code or 0))
