#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The program's own aria2, on a virtual display, with no aria2 running and
a throwaway home: a link opened, Yes, and the file in the download folder.

  engine_system_test.py TESSEL cold     no settings at all: the engine starts,
                                        the file arrives under its Chinese name
                                        in the XDG download folder; loopback
                                        only, secret refused to strangers and
                                        kept off the command line; quitting
                                        ends it; Yes-to-task times, cold and warm
  engine_system_test.py TESSEL resume   a slow download cut by quitting goes on
                                        after the next start and its end is
                                        told on the desktop; a killed program
                                        takes its aria2 with it
  engine_system_test.py TESSEL port     the engine's port held by another
                                        program: the download still happens
"""

import http.server
import json
import os
import socket
import subprocess
import sys
import threading
import time
import urllib.request

from follow_system_test import Recorder
from loopback_aria2 import free_port
from xsession import Display, Tessel, expect, outcome, thunder, wait_until

BINARY = sys.argv[1]
PART = sys.argv[2]
NAME = "你好.bin"
GBK_PATH = "/%C4%E3%BA%C3.bin"  # the name as the servers these links come from write it


class PayloadServer:
    """Serves one payload at any path, `rate` bytes a second when given,
    ranges included; notes every request's path and Range header."""

    def __init__(self, data, rate=None):
        self.data, self.rate, self.requests = data, rate, []
        self.first_request = threading.Event()
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                outer.requests.append((self.path, self.headers.get("Range")))
                outer.first_request.set()
                start = 0
                rng = self.headers.get("Range")
                if rng and rng.startswith("bytes="):
                    start = int(rng[6:].split("-")[0] or 0)
                body = outer.data[start:]
                self.send_response(206 if start else 200)
                if start:
                    self.send_header("Content-Range", f"bytes {start}-{len(outer.data) - 1}/{len(outer.data)}")
                self.send_header("Accept-Ranges", "bytes")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                step = 16384
                try:
                    for i in range(0, len(body), step):
                        self.wfile.write(body[i:i + step])
                        if outer.rate:
                            time.sleep(step / outer.rate)
                except (BrokenPipeError, ConnectionResetError):
                    pass

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}{GBK_PATH}"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Desktop:
    """A fresh user: no settings unless given, a Chinese XDG download folder
    that does not exist yet, a state folder of its own."""

    def __init__(self, display, settings=None):
        self.display = display
        self.t = Tessel(display, BINARY, settings)
        self.home = self.t.home
        with open(os.path.join(self.home, "config", "user-dirs.dirs"), "w") as f:
            f.write('XDG_DESKTOP_DIR="$HOME/桌面"\nXDG_DOWNLOAD_DIR="$HOME/下载"\n')
        self.t.env["XDG_STATE_HOME"] = os.path.join(self.home, "state")
        self.t.env.pop("XDG_CURRENT_DESKTOP", None)
        self.downloads = os.path.join(self.home, "下载")
        self.proc = None

    def start(self, *args):
        self.proc = subprocess.Popen([BINARY, *args], env=self.t.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.display.find("^TESSEL$", timeout=20)

    def later(self, *args):
        subprocess.run([BINARY, *args], env=self.t.env, capture_output=True, timeout=30)

    def answer_yes(self):
        """Answers the question with Yes; the moment it went, or None."""
        box = self.display.question()
        if not box:
            return None
        self.display.answer(box, "alt+y")
        return time.monotonic()

    def engine_pid(self):
        if not self.proc:
            return None
        out = subprocess.run(["pgrep", "-P", str(self.proc.pid), "-x", "aria2c"], capture_output=True)
        pids = out.stdout.split()
        return int(pids[0]) if pids else None

    def services(self):
        ini = self.t.settings()
        return ini["services"] if ini.has_section("services") else {}

    def quit(self, sig="TERM"):
        if self.proc and self.proc.poll() is None:
            (self.proc.terminate if sig == "TERM" else self.proc.kill)()
            self.proc.wait(timeout=15)

    def file(self, name=NAME):
        path = os.path.join(self.downloads, name)
        if os.path.exists(path) and not os.path.exists(path + ".aria2"):
            with open(path, "rb") as f:
                return f.read()
        return None

    def stop(self):
        self.quit("KILL")
        self.t.stop()


def rpc(address, method, token=None):
    params = [f"token:{token}"] if token else []
    body = json.dumps({"jsonrpc": "2.0", "id": "t", "method": method, "params": params}).encode()
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    try:
        with opener.open(urllib.request.Request(address, body), timeout=5) as reply:
            return json.loads(reply.read())
    except urllib.error.HTTPError as e:
        return json.loads(e.read())


def gone(pid, timeout=5):
    return wait_until(lambda: not os.path.exists(f"/proc/{pid}"), timeout=timeout)


def port_free(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) != 0


def part_cold():
    payload = os.urandom(256 * 1024)
    files = PayloadServer(payload)
    # The default address when nothing holds it, as on a fresh desktop;
    # otherwise (another test's aria2 on this machine) a free port.
    settings = None if port_free(6800) else {"services": {"Aria2Rpc": f"http://127.0.0.1:{free_port()}/jsonrpc"}}
    with Display() as display:
        d = Desktop(display, settings)
        try:
            d.start(thunder(files.url()))
            said = d.answer_yes()
            expect(said is not None, "the opened link asks the question; Yes")
            expect(files.first_request.wait(15), "the task reached an aria2 that fetched it")
            cold = time.monotonic() - said
            expect(wait_until(lambda: d.file() == payload, timeout=15),
                   f"the file arrived as 下载/{NAME}, content checked")
            pid = d.engine_pid()
            expect(pid is not None, "it is the program's own aria2")
            services = d.services()
            secret = services.get("Aria2Secret", "")
            address = services.get("Aria2Rpc", "http://127.0.0.1:6800/jsonrpc")
            expect(len(secret) >= 32, "a secret of 128 bits was made and kept")
            expect(os.stat(d.t.ini).st_mode & 0o077 == 0, "the settings file stays 0600")
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read()
            expect(secret.encode() not in cmdline, "the secret is not on aria2c's command line")
            port = int(address.rsplit(":", 1)[1].split("/")[0])
            listening = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], capture_output=True,
                                       text=True).stdout.split()
            local = [w for w in listening if w.endswith(f":{port}")]
            expect(local and all(a.rsplit(":", 1)[0] in ("127.0.0.1", "[::1]") for a in local),
                   f"aria2 listens on loopback only: {local}")
            refused = rpc(address, "aria2.getVersion")
            expect(refused.get("error", {}).get("message") == "Unauthorized", "a caller without the secret is refused")
            expect("result" in rpc(address, "aria2.getVersion", secret), "the secret opens it")

            files.first_request.clear()
            d.later(thunder(files.url().replace(".bin", "2.bin")))
            said = d.answer_yes()
            expect(said is not None and files.first_request.wait(15), "a second link, engine warm")
            warm = time.monotonic() - said
            expect(d.engine_pid() == pid, "and the same engine took it")
            print(f"     Yes to the task in aria2: cold {cold * 1000:.0f} ms, warm {warm * 1000:.0f} ms")

            d.quit("TERM")
            expect(gone(pid), "quitting Tessel ends its aria2")
        finally:
            d.stop()
    files.close()


def part_resume():
    payload = os.urandom(3 * 1024 * 1024)
    files = PayloadServer(payload, rate=256 * 1024)
    settings = {"services": {"Aria2Rpc": f"http://127.0.0.1:{free_port()}/jsonrpc"}}
    with Display() as display:
        bus = Recorder(display)
        d = Desktop(display, settings)
        try:
            d.start(thunder(files.url()))
            expect(d.answer_yes() is not None, "Yes to a slow download")
            partial = os.path.join(d.downloads, NAME)
            expect(wait_until(lambda: os.path.exists(partial) and os.path.getsize(partial) > 0 and
                             os.path.exists(partial + ".aria2"), timeout=15), "the download is under way")
            time.sleep(1.5)
            pid = d.engine_pid()
            d.quit("TERM")
            expect(pid is not None and gone(pid), "quitting ends aria2 mid-download")
            session = os.path.join(d.home, "state", "tessel", "aria2.session")
            expect(os.path.exists(session) and GBK_PATH in open(session, encoding="utf-8").read(),
                   "the unfinished task is in the session file")

            d.start()  # no link: the unfinished task alone brings the engine back
            expect(wait_until(lambda: d.file() == payload, timeout=40), "after a restart the download finished")
            ranges = [r for _, r in files.requests if r and not r.startswith("bytes=0-")]
            expect(bool(ranges), f"and went on where it stopped: {files.requests}")
            told = wait_until(lambda: bus.calls("Notify"), timeout=10)
            expect(told and told[0]["summary"] == "下载完成" and told[0]["body"] == NAME,
                   f"the resumed download's end is told: {told}")

            files.first_request.clear()
            d.later(thunder(files.url().replace(".bin", "3.bin")))
            expect(d.answer_yes() is not None, "one more task")
            pid = d.engine_pid()
            d.quit("KILL")
            expect(pid is not None and gone(pid, timeout=5), "a killed Tessel takes its aria2 with it")
        finally:
            d.stop()
    files.close()


class NotAria2(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = b"<html>a different program</html>"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def part_port():
    payload = os.urandom(64 * 1024)
    files = PayloadServer(payload)
    port = 6800 if port_free(6800) else free_port()
    blocker = None
    if port_free(port):
        blocker = http.server.ThreadingHTTPServer(("127.0.0.1", port), NotAria2)
        threading.Thread(target=blocker.serve_forever, daemon=True).start()
    settings = None if port == 6800 else {"services": {"Aria2Rpc": f"http://127.0.0.1:{port}/jsonrpc"}}
    with Display() as display:
        d = Desktop(display, settings)
        try:
            d.start(thunder(files.url()))
            expect(d.answer_yes() is not None, f"port {port} taken by another program; Yes")
            expect(wait_until(lambda: d.file() == payload, timeout=20), "the download still happened")
            moved = d.services().get("Aria2Rpc", "")
            expect(moved and f":{port}/" not in moved, f"the engine's new address is kept: {moved}")
        finally:
            d.stop()
    if blocker:
        blocker.shutdown()
        blocker.server_close()
    files.close()


if __name__ == "__main__":
    {"cold": part_cold, "resume": part_resume, "port": part_port}[PART]()
    sys.exit(outcome())
