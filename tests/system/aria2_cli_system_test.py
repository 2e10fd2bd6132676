#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tessel-cli aria2 against a real aria2c on loopback.

  aria2_cli_system_test.py TESSEL-CLI cli   items, standard input, settings file,
                                            a wrong secret, a dead port
  aria2_cli_system_test.py TESSEL-CLI tls   aria2 with --rpc-secure and a
                                            self-signed certificate
"""

import os
import re
import subprocess
import sys
import tempfile

from loopback_aria2 import Aria2, FileServer, free_port, self_signed
from xsession import expect, outcome, thunder

CLI = sys.argv[1]


def cli(*args, stdin=None, env=None):
    environment = dict(os.environ, **(env or {}))
    for proxy in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"):
        environment.pop(proxy, None)
    return subprocess.run([CLI, "aria2", *args], input=(stdin or "").encode(), capture_output=True,
                          env=environment, timeout=60)


def part_cli():
    payload = {"one.bin": os.urandom(3000), "two.bin": os.urandom(5000), "三.txt": "中文内容".encode()}
    files = FileServer(payload)
    aria2 = Aria2()
    config = tempfile.mkdtemp(prefix="tessel-config-")
    try:
        # Items on the command line, a thunder link among them.
        out = cli("--rpc", aria2.rpc, "--secret", aria2.secret, files.url("one.bin"), thunder(files.url("two.bin")))
        ids = out.stdout.decode().splitlines()
        expect(out.returncode == 0, f"two items handed over (exit {out.returncode}: {out.stderr.decode()!r})")
        expect(len(ids) == 2 and all(re.fullmatch(r"[0-9a-f]{16}", i) for i in ids), f"a task id per line: {ids}")
        expect(aria2.wait_file("one.bin", payload["one.bin"]), "aria2 fetched the plain address")
        expect(aria2.wait_file("two.bin", payload["two.bin"]), "aria2 fetched the thunder link's address")

        # Standard input, one per line; a bad line in the middle is reported
        # with its number and the others still go.
        out = cli("--rpc", aria2.rpc, "--secret", aria2.secret,
                  stdin=files.url("%C8%FD.txt".replace("%C8%FD", "%E4%B8%89")) + "\r\nthunder://broken\n\n")
        lines = out.stdout.decode().split("\n")
        expect(out.returncode == 1, "a rejected line makes the exit status 1")
        expect(re.fullmatch(r"[0-9a-f]{16}", lines[0]) is not None and lines[1:3] == ["", ""],
               f"one output line per input line: {lines}")
        err = out.stderr.decode()
        expect("第 2 行：对不起，链接不正确" in err and "第 3 行：" in err, f"line numbers of the rejects: {err!r}")

        # The window's settings file gives the address and the secret.
        os.makedirs(os.path.join(config, "TESSEL"))
        with open(os.path.join(config, "TESSEL", "TESSEL.ini"), "w") as f:
            f.write(f"[services]\nAria2Rpc={aria2.rpc}\nAria2Secret={aria2.secret}\n")
        before = aria2.task_count()
        out = cli(files.url("one.bin"), env={"XDG_CONFIG_HOME": config})
        expect(out.returncode == 0 and aria2.task_count() == before + 1,
               f"address and secret come from the settings file ({out.stderr.decode()!r})")

        # A wrong secret: refused, said so, exit 1.
        out = cli("--rpc", aria2.rpc, "--secret", "wrong", files.url("one.bin"))
        err = out.stderr.decode()
        expect(out.returncode == 1 and "第 1 行：" in err and "密钥" in err, f"a wrong secret is reported: {err!r}")

        # Nobody listening: refused connection, and how to start aria2.
        dead = f"http://127.0.0.1:{free_port()}/jsonrpc"
        out = cli("--rpc", dead, files.url("one.bin"), files.url("two.bin"))
        err = out.stderr.decode()
        expect(out.returncode == 1 and "第 1 行：" in err and "第 2 行：" in err and "aria2c --enable-rpc" in err,
               f"a dead port is reported for every item: {err!r}")

        # Usage errors.
        expect(cli("--bogus").returncode == 2, "an unknown option is a usage error")
        expect(cli("--rpc").returncode == 2, "an option without its value is a usage error")
    finally:
        aria2.stop()
        files.close()


def part_tls():
    folder = tempfile.mkdtemp(prefix="tessel-tls-")
    cert, key = self_signed(folder)
    payload = {"secure.bin": os.urandom(4000)}
    files = FileServer(payload)
    aria2 = Aria2(secure=(cert, key))
    try:
        expect(aria2.rpc.startswith("https://"), "aria2 listens with --rpc-secure")
        out = cli("--rpc", aria2.rpc, "--secret", aria2.secret, files.url("secure.bin"))
        err = out.stderr.decode()
        expect(out.returncode == 1 and "Aria2CaFile" in err,
               f"a self-signed certificate is refused, naming Aria2CaFile: {err!r}")

        out = cli("--rpc", aria2.rpc, "--secret", aria2.secret, "--ca-file", cert, files.url("secure.bin"))
        expect(out.returncode == 0 and re.fullmatch(r"[0-9a-f]{16}\n", out.stdout.decode()) is not None,
               f"trusted with the certificate file ({out.stderr.decode()!r})")
        expect(aria2.wait_file("secure.bin", payload["secure.bin"]), "aria2 fetched the file")

        config = tempfile.mkdtemp(prefix="tessel-config-")
        os.makedirs(os.path.join(config, "TESSEL"))
        with open(os.path.join(config, "TESSEL", "TESSEL.ini"), "w") as f:
            f.write(f"[services]\nAria2Rpc={aria2.rpc}\nAria2Secret={aria2.secret}\nAria2CaFile={cert}\n")
        out = cli(files.url("secure.bin"), env={"XDG_CONFIG_HOME": config})
        expect(out.returncode == 0, f"Aria2CaFile from the settings file is trusted ({out.stderr.decode()!r})")

        out = cli("--rpc", aria2.rpc, "--secret", aria2.secret, "--ca-file", os.path.join(folder, "missing.pem"),
                  files.url("secure.bin"))
        err = out.stderr.decode()
        expect(out.returncode == 1 and "Aria2CaFile" in err, f"an unreadable certificate file is named: {err!r}")
    finally:
        aria2.stop()
        files.close()


{"cli": part_cli, "tls": part_tls}[sys.argv[2]]()
sys.exit(outcome())
