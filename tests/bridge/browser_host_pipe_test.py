#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tessel-browser-host fed through a pipe, as a browser drives it.

A stand-in for the running window listens on the single-instance socket of a
display of its own and records each forward, so every answer is checked
against what really arrived.  With nobody listening, a stand-in `tessel`
beside a copy of the host shows how the host starts the program.
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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "system"))
from xsession import expect, outcome  # noqa: E402 (found through the line above)

HOST = sys.argv[1]


def frame(body):
    body = body if isinstance(body, bytes) else json.dumps(body, ensure_ascii=False).encode()
    return struct.pack("=I", len(body)) + body


def read_forward(conn):
    """One forward (TSL1, count, then length and bytes per item), receipted."""
    data = b""
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
        at, items = 8, []
        for _ in range(struct.unpack(">I", data[4:8])[0] if len(data) >= 8 else 1 << 30):
            n = struct.unpack(">I", data[at:at + 4])[0] if len(data) >= at + 4 else 1 << 30
            if len(data) < at + 4 + n:
                break
            items.append(data[at + 4:at + 4 + n].decode())
            at += 4 + n
        else:
            conn.sendall(b"\x01")
            return items


# Stands in for the program the host starts: notes how it was started, and
# with FAKE_MODE=listen takes one forward after a pause, as a starting
# program does.  It shares read_forward with this script.
FAKE_TESSEL = f"""#!/usr/bin/env python3
import os, socket, struct, sys, time
started = {{"own_session": os.getsid(0) == os.getpid(), "args": sys.argv[1:],
           "std": [os.path.realpath(f"/proc/self/fd/{{fd}}") for fd in (0, 1, 2)],
           "fds": len(os.listdir("/proc/self/fd"))}}
with open(os.environ["FAKE_NOTES"], "a") as f:
    f.write(repr(started) + "\\n")
if os.environ["FAKE_MODE"] != "listen":
    sys.exit(1)
time.sleep(0.5)
s = socket.socket(socket.AF_UNIX)
s.bind(os.environ["FAKE_SOCKET"])
s.listen(1)
{''.join(__import__("inspect").getsource(read_forward))}
with open(os.environ["FAKE_NOTES"], "a") as f:
    f.write(repr({{"forward": read_forward(s.accept()[0])}}) + "\\n")
"""


class Host:
    def __init__(self, env, program=HOST):
        self.proc = subprocess.Popen([program, f"chrome-extension://molbfeahooaihilpncfgpmkalanclgke/"], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.pending = b""

    def send(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def read(self, n, deadline):
        while len(self.pending) < n:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.pending += chunk
        out, self.pending = self.pending[:n], self.pending[n:]
        return out

    def answer(self, timeout=10):
        deadline = time.monotonic() + timeout
        head = self.read(4, deadline)
        body = head and self.read(struct.unpack("=I", head)[0], deadline)
        return json.loads(body) if body else None

    def close(self):
        self.proc.stdin.close()
        return self.proc.wait(timeout=5)


home = tempfile.mkdtemp(prefix="tessel-host-")
sockets = os.path.join(home, "run", "tessel")
os.makedirs(sockets, mode=0o700)
path = os.path.join(sockets, "instance-_4242")
env = dict(os.environ, DISPLAY=":4242", XDG_RUNTIME_DIR=os.path.dirname(sockets), HOME=home)
received = []
window = socket.socket(socket.AF_UNIX)
window.bind(path)
window.listen(16)


def serve():
    while True:
        try:
            conn = window.accept()[0]
        except OSError:  # closed: the window has ended
            return
        received.append(read_forward(conn))


threading.Thread(target=serve, daemon=True).start()


def arrived(count):
    """The stand-in sends its receipt a moment before it notes the forward."""
    deadline = time.monotonic() + 5
    while len(received) < count and time.monotonic() < deadline:
        time.sleep(0.01)


thunder = "thunder://QUFodHRwOi8vMTI3LjAuMC4xL+S4i+i9vS56aXBaWg==/"
try:
    host = Host(env)
    host.send(frame({"links": [thunder, "magnet:?xt=urn:btih:abc"], "page": "http://127.0.0.1/页"}))
    expect(host.answer() == {"ok": True, "count": 2}, "a good request: ok with its count")
    arrived(1)
    expect(received == [[thunder, "magnet:?xt=urn:btih:abc"]], "both links reached the window in one forward")

    for body, what in ((b"{links:", "not JSON"), (frame({"links": ["x"] * 257})[4:], "257 links")):
        host.send(frame(body))
        answer = host.answer()
        expect(answer is not None and answer["ok"] is False and answer["error"], f"{what}: an error answer")

    # Answered from the length alone; the body is passed over, the next frame read.
    host.send(struct.pack("=I", 2 << 20))
    expect((host.answer(timeout=5) or {}).get("ok") is False, "a 2 MiB frame is refused before its body comes")
    host.send(b"x" * (2 << 20) + frame({"links": ["http://127.0.0.1/after"]}))
    expect(host.answer() == {"ok": True, "count": 1}, "the frame after it is read as usual")

    arrived(2)
    before = len(received)
    host.send(b"".join(frame({"links": [f"http://127.0.0.1/{i}"]}) if i % 2 == 0 else frame(b"{") for i in range(40)))
    answers = [host.answer() for _ in range(40)]
    arrived(before + 20)
    expect(all(a == {"ok": True, "count": 1} for a in answers[0::2]) and
           all(a and a["ok"] is False for a in answers[1::2]) and
           [r[0] for r in received[before:]] == [f"http://127.0.0.1/{i}" for i in range(0, 40, 2)],
           "40 messages in one stream: 40 answers and 20 forwards, in order")

    host.send(struct.pack("=I", 100) + b'{"links"')
    expect(host.close() == 0, "ends with status 0 when its input closes mid-frame")

    # Nobody listening: the host starts the program beside it, detached.
    window.close()
    os.unlink(path)
    alone = os.path.join(home, "libexec")
    os.mkdir(alone)
    shutil.copy(HOST, alone)
    with open(os.path.join(alone, "tessel"), "w") as f:
        f.write(FAKE_TESSEL)
    os.chmod(os.path.join(alone, "tessel"), 0o755)
    notes = os.path.join(home, "notes")
    for mode in ("listen", "fail"):
        if os.path.exists(notes):
            os.unlink(notes)
        host = Host(dict(env, FAKE_NOTES=notes, FAKE_MODE=mode, FAKE_SOCKET=path),
                    os.path.join(alone, os.path.basename(HOST)))
        began = time.monotonic()
        host.send(frame({"links": ["http://127.0.0.1/x", "ed2k://|file|a|1|00|/"]}))
        answer = host.answer(timeout=30)
        took = time.monotonic() - began
        # The stand-in notes the forward right after its receipt.
        wait = time.monotonic() + 5
        while mode == "listen" and time.monotonic() < wait and len(open(notes).readlines()) < 2:
            time.sleep(0.05)
        lines = [eval(line) for line in open(notes)] if os.path.exists(notes) else [{}]
        if mode == "listen":
            expect(answer == {"ok": True, "count": 2} and lines[1:] == [{"forward": ["http://127.0.0.1/x",
                                                                                    "ed2k://|file|a|1|00|/"]}],
                   f"not running: started, then both links in one forward ({answer}, {took:.1f} s)")
            # Four descriptors: the three standard ones and listdir's own.
            expect(lines[0] == {"own_session": True, "args": [], "std": ["/dev/null"] * 3, "fds": 4},
                   f"the program runs in a session of its own with no descriptor of ours ({lines[0]})")
            os.unlink(path)  # as a program that ended leaves no socket behind
        else:
            expect(answer and answer["ok"] is False and took < 10,
                   f"a program that cannot start: an error answer after {took:.1f} s ({answer})")
        expect(host.close() == 0, "and the host ends when its input closes")
finally:
    shutil.rmtree(home, ignore_errors=True)

sys.exit(outcome())
