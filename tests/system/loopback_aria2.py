# SPDX-License-Identifier: GPL-3.0-or-later
"""A real aria2c on loopback and a local HTTP server for it to fetch from."""

import functools
import http.server
import json
import os
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

from xsession import end


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class FileServer:
    """Serves a folder over HTTP on 127.0.0.1 from a thread of its own."""

    def __init__(self, files):
        self.root = tempfile.mkdtemp(prefix="tessel-files-")
        for name, data in files.items():
            with open(os.path.join(self.root, name), "wb") as f:
                f.write(data)
        handler = functools.partial(_QuietHandler, directory=self.root)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Aria2:
    """aria2c with JSON-RPC on a free loopback port, downloading into a
    folder of its own; `secure` is (certificate, key) for --rpc-secure."""

    def __init__(self, secret="s3cret", secure=None):
        self.secret = secret
        self.port = free_port()
        self.dir = tempfile.mkdtemp(prefix="tessel-aria2-")
        args = ["aria2c", "--no-conf=true", "--enable-rpc", "--rpc-listen-all=false",
                f"--rpc-listen-port={self.port}", f"--rpc-secret={secret}", f"--dir={self.dir}",
                f"--stop-with-process={os.getpid()}", "--max-tries=1", "--quiet=true"]
        self.scheme = "http"
        if secure:
            args += ["--rpc-secure=true", f"--rpc-certificate={secure[0]}", f"--rpc-private-key={secure[1]}"]
            self.scheme = "https"
        self.proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.monotonic() + 10
        while time.monotonic() < end:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.2):
                    return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("aria2c did not start")

    @property
    def rpc(self):
        return f"{self.scheme}://127.0.0.1:{self.port}/jsonrpc"

    def call(self, method, *params):
        body = json.dumps({"jsonrpc": "2.0", "id": "t", "method": method,
                           "params": [f"token:{self.secret}", *params]}).encode()
        req = urllib.request.Request(f"http://127.0.0.1:{self.port}/jsonrpc", body,
                                     {"Content-Type": "application/json"})
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        with opener.open(req, timeout=5) as reply:
            return json.loads(reply.read())["result"]

    def task_count(self):
        # One call, so a task that finishes meanwhile is counted exactly once.
        stat = self.call("aria2.getGlobalStat")
        return int(stat["numActive"]) + int(stat["numWaiting"]) + int(stat["numStoppedTotal"])

    def wait_file(self, name, data, timeout=15):
        path = os.path.join(self.dir, name)
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if (os.path.exists(path) and not os.path.exists(path + ".aria2")
                    and open(path, "rb").read() == data):
                return True
            time.sleep(0.1)
        return False

    def files(self):
        return sorted(os.listdir(self.dir))

    def stop(self):
        end(self.proc, timeout=5)


def self_signed(folder):
    """A certificate for 127.0.0.1 and its key, made with openssl."""
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    return cert, key
