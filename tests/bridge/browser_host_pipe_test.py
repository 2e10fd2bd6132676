#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tessel-browser-host fed through a pipe, as a browser drives it.

A stand-in for the running window listens on the single-instance socket of a
display of its own and records every forwarded message, so each answer is
checked against what really reached "Tessel".
"""

import json
import os
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HOST = sys.argv[1]
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def frame(body):
    if not isinstance(body, bytes):
        body = json.dumps(body, ensure_ascii=False).encode()
    return struct.pack("=I", len(body)) + body


class Window:
    """Takes forwards on the socket as the window does: TSL1 in, 0x01 back."""

    def __init__(self, path):
        self.received = []
        self.server = socket.socket(socket.AF_UNIX)
        self.server.bind(path)
        self.server.listen(16)
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            with conn:
                data = b""
                while True:
                    chunk = conn.recv(65536)
                    if not chunk:
                        break
                    data += chunk
                    items = self.parse(data)
                    if items is not None:
                        self.received.append(items)
                        conn.sendall(b"\x01")
                        break

    @staticmethod
    def parse(data):
        if len(data) < 8:
            return None
        count, at, items = struct.unpack(">I", data[4:8])[0], 8, []
        for _ in range(count):
            if len(data) < at + 4:
                return None
            n = struct.unpack(">I", data[at:at + 4])[0]
            if len(data) < at + 4 + n:
                return None
            items.append(data[at + 4:at + 4 + n].decode())
            at += 4 + n
        return items

    def close(self):
        self.server.close()


class Host:
    def __init__(self, env, program=HOST):
        self.proc = subprocess.Popen([program, "chrome-extension://molbfeahooaihilpncfgpmkalanclgke/"], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.pending = b""

    def send(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def read(self, n, deadline):
        fd = self.proc.stdout.fileno()
        while len(self.pending) < n:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                return None
            chunk = os.read(fd, 65536)
            if not chunk:
                return None
            self.pending += chunk
        out, self.pending = self.pending[:n], self.pending[n:]
        return out

    def answer(self, timeout=10):
        deadline = time.monotonic() + timeout
        head = self.read(4, deadline)
        body = head and self.read(struct.unpack("=I", head)[0], deadline)
        return json.loads(body.decode()) if body else None

    def close(self, timeout=5):
        self.proc.stdin.close()
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return None


# Stands in for the window program the host starts when none runs: it notes
# how it was started, then (given "listen") takes one forward after a pause,
# as a program that needs a moment to start does.
FAKE_TESSEL = """#!/usr/bin/env python3
import os, socket, struct, sys, time
notes = os.environ["FAKE_NOTES"]
fds = [os.path.realpath(f"/proc/self/fd/{fd}") for fd in (0, 1, 2)]
extra = sorted(int(fd) for fd in os.listdir("/proc/self/fd") if int(fd) > 2)
with open(notes, "a") as f:
    f.write(repr({"sid_is_pid": os.getsid(0) == os.getpid(), "std": fds, "args": sys.argv[1:],
                  "extra_fds": len(extra) > 1}) + "\\n")
if os.environ.get("FAKE_MODE") != "listen":
    sys.exit(1)
time.sleep(0.5)
s = socket.socket(socket.AF_UNIX)
s.bind(os.environ["FAKE_SOCKET"])
s.listen(1)
c, _ = s.accept()
data = b""
def whole(data):
    if len(data) < 8:
        return False
    at = 8
    for _ in range(struct.unpack(">I", data[4:8])[0]):
        if len(data) < at + 4:
            return False
        at += 4 + struct.unpack(">I", data[at:at + 4])[0]
    return len(data) >= at
while not whole(data):
    chunk = c.recv(65536)
    if not chunk:
        break
    data += chunk
c.sendall(b"\\x01")
with open(notes, "a") as f:
    f.write(repr({"forward": data}) + "\\n")
"""


home = tempfile.mkdtemp(prefix="tessel-host-")
runtime = os.path.join(home, "run")
os.makedirs(os.path.join(runtime, "tessel"), mode=0o700)
env = dict(os.environ, DISPLAY=":4242", XDG_RUNTIME_DIR=runtime, HOME=home, QT_QPA_PLATFORM="offscreen")
env.pop("WAYLAND_DISPLAY", None)
window = Window(os.path.join(runtime, "tessel", "instance-_4242"))
thunder = "thunder://QUFodHRwOi8vMTI3LjAuMC4xL+S4i+i9vS56aXBaWg==/"
try:
    host = Host(env)

    host.send(frame({"links": [thunder, "magnet:?xt=urn:btih:abc"], "page": "http://127.0.0.1/页"}))
    check(host.answer() == {"ok": True, "count": 2}, "a good request: ok with its count")
    check(window.received == [[thunder, "magnet:?xt=urn:btih:abc"]], "both links reached the window in one forward")

    bad = [
        (b"{links:", "not JSON"),
        (b'{"links":["http://a/\xc4\xe3"]}', "not UTF-8"),
        (frame({"links": ["x"] * 257})[4:], "257 links"),
        (frame({"links": ["h" * (64 * 1024 + 1)]})[4:], "a link over 64 KiB"),
        (b'["x"]', "not an object"),
        (b"", "an empty frame"),
    ]
    for body, what in bad:
        host.send(frame(body))
        answer = host.answer()
        check(answer is not None and answer.get("ok") is False and answer.get("error"), f"{what}: an error answer")

    # Oversized: answered from the length alone, then the body is passed over
    # and the next frame is read as usual.
    size = 2 * 1024 * 1024
    host.send(struct.pack("=I", size))
    answer = host.answer(timeout=5)
    check(answer is not None and answer.get("ok") is False, "a 2 MiB frame is refused before its body comes")
    host.send(b"x" * size + frame({"links": ["http://127.0.0.1/after"]}))
    check(host.answer() == {"ok": True, "count": 1}, "the frame after it is read as usual")

    # Many messages in one write: one answer each, in order.
    before = len(window.received)
    burst = b"".join(frame({"links": [f"http://127.0.0.1/{i}"]}) if i % 2 == 0 else frame(b"{") for i in range(40))
    host.send(burst)
    answers = [host.answer() for _ in range(40)]
    check(all(a == {"ok": True, "count": 1} for a in answers[0::2]) and
          all(a and a.get("ok") is False for a in answers[1::2]), "40 messages in one stream: 40 answers in order")
    check([r[0] for r in window.received[before:]] == [f"http://127.0.0.1/{i}" for i in range(0, 40, 2)],
          "the good ones reached the window in order")

    # Standard input closed halfway through a frame: the host ends.
    host.send(struct.pack("=I", 100) + b'{"links"')
    began = time.monotonic()
    status = host.close()
    check(status == 0, f"ends with status 0 when its input closes mid-frame ({status}, "
                       f"{time.monotonic() - began:.2f} s)")

    # No window running: the host starts the program, detached, and hands
    # the links over once it listens; a program that cannot start gives an
    # error answer, not a hang.
    window.close()
    os.unlink(os.path.join(runtime, "tessel", "instance-_4242"))
    alone = os.path.join(home, "libexec")
    os.mkdir(alone)
    shutil.copy(HOST, os.path.join(alone, "tessel-browser-host"))
    with open(os.path.join(alone, "tessel"), "w") as f:
        f.write(FAKE_TESSEL)
    os.chmod(os.path.join(alone, "tessel"), 0o755)
    notes = os.path.join(home, "notes")
    for mode in ("listen", "fail"):
        fake_env = dict(env, FAKE_NOTES=notes, FAKE_MODE=mode,
                        FAKE_SOCKET=os.path.join(runtime, "tessel", "instance-_4242"))
        if os.path.exists(notes):
            os.unlink(notes)
        host = Host(fake_env, os.path.join(alone, "tessel-browser-host"))
        began = time.monotonic()
        host.send(frame({"links": ["http://127.0.0.1/x", "ed2k://|file|a|1|00|/"]}))
        answer = host.answer(timeout=30)
        took = time.monotonic() - began
        lines = open(notes).read().splitlines() if os.path.exists(notes) else []
        started = eval(lines[0]) if lines else {}
        if mode == "listen":
            check(answer == {"ok": True, "count": 2}, f"not running: started, then took the links ({answer}, "
                                                      f"{took:.1f} s)")
            forwarded = eval(lines[1]).get("forward", b"") if len(lines) > 1 else b""
            check(Window.parse(forwarded) == ["http://127.0.0.1/x", "ed2k://|file|a|1|00|/"],
                  "both links in one forward")
            check(started.get("sid_is_pid") and started.get("std") == ["/dev/null"] * 3 and
                  not started.get("extra_fds") and started.get("args") == [],
                  f"the program runs in a session of its own with no descriptor of ours ({started})")
        else:
            check(answer is not None and answer.get("ok") is False and took < 10,
                  f"a program that cannot start: an error answer after {took:.1f} s ({answer})")
        check(host.close() == 0, "and the host ends when its input closes")
finally:
    shutil.rmtree(home, ignore_errors=True)

print(f"{'FAILED' if failures else 'passed'}: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
