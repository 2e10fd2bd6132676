#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Debian package, as `make package` builds it.

  package_system_test.py <build folder> <version>

Builds the package into a folder of its own, unpacks it into an empty root
and checks what a desktop will read there: the desktop entry and the AppStream
file validate, lintian finds no error, the dependencies name a Chinese font,
and once the desktop's MIME cache is made from the installed entry (what the
desktop-file-utils trigger does after installing) the four link schemes open
Tessel with no further set-up.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

from xsession import SKIP, check


def run(*args, env=None, cwd=None):
    return subprocess.run(list(args), capture_output=True, text=True, env=env, cwd=cwd, timeout=300,
                          check=False)


def main():
    build, version = sys.argv[1], sys.argv[2]
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps", "desktop-file-validate", "appstreamcli", "lintian",
                 "update-desktop-database", "xdg-mime"):
        if shutil.which(tool) is None:
            print(f"skip - {tool} is not installed")
            return SKIP
    work = tempfile.mkdtemp(prefix="tessel-package-")
    try:
        made = run("cpack", "-G", "DEB", "-B", work, "--config", os.path.join(build, "CPackConfig.cmake"))
        deb = os.path.join(work, f"tessel_{version}_amd64.deb")
        check(made.returncode == 0 and os.path.isfile(deb), f"cpack builds {os.path.basename(deb)}"
              + ("" if made.returncode == 0 else f": {made.stdout}{made.stderr}"))

        fields = {name: run("dpkg-deb", "-f", deb, name).stdout.strip()
                  for name in ("Depends", "Recommends", "Package", "Version")}
        check(fields["Package"] == "tessel" and fields["Version"] == version, "name and version")
        check("fonts-wqy-microhei | fonts-noto-cjk" in fields["Depends"], "a Chinese font is a dependency")
        check("libqt6widgets6" in fields["Depends"] and "libcurl4" in fields["Depends"],
              f"library dependencies come from the binaries ({fields['Depends']})")
        check("aria2" in fields["Depends"].split(", ") and "aria2" not in fields["Recommends"],
              "aria2 is a dependency, not a recommendation")

        root = os.path.join(work, "root")
        os.mkdir(root)
        unpacked = run("dpkg-deb", "-x", deb, root)
        check(unpacked.returncode == 0, "the package unpacks into an empty root")
        share = os.path.join(root, "usr", "share")
        expected = ["usr/bin/tessel", "usr/bin/tessel-cli", "usr/share/man/man1/tessel.1.gz",
                    "usr/share/man/man1/tessel-cli.1.gz", "usr/share/icons/hicolor/scalable/apps/tessel.svg",
                    "usr/share/doc/tessel/copyright", "usr/lib/tessel/tessel-websocket.so"]
        expected += [f"usr/share/icons/hicolor/{s}x{s}/apps/tessel.png" for s in (16, 32, 48, 64, 128, 256)]
        missing = [p for p in expected if not os.path.isfile(os.path.join(root, p))]
        check(not missing, f"binaries, the socket module, manual pages, icons and copyright are there "
              f"(missing: {missing})")
        check("libqt6websockets6" in fields["Depends"], "the socket module's libraries are dependencies")

        # The browser companion: the extension for both browsers, the host and
        # the manifests that name it by its installed path.
        firefox = "usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/browser@tessel.org"
        hosts = ["etc/chromium/native-messaging-hosts", "usr/lib/mozilla/native-messaging-hosts"]
        browser = ["usr/libexec/tessel/tessel-browser-host", "usr/share/chromium/extensions/tessel/content.js",
                   f"{firefox}/content.js"] + [f"{h}/org.tessel.browser_host.json" for h in hosts]
        missing = [p for p in browser if not os.path.isfile(os.path.join(root, p))]
        check(not missing, f"the browser extension and its host are there (missing: {missing})")
        paths = {json.load(open(os.path.join(root, h, "org.tessel.browser_host.json")))["path"] for h in hosts}
        check(paths == {"/usr/libexec/tessel/tessel-browser-host"}, f"the host manifests name the host ({paths})")
        conffiles = run("dpkg-deb", "-I", deb, "conffiles").stdout.split()
        check(conffiles == [f"/{hosts[0]}/org.tessel.browser_host.json"], "the manifest in /etc is a conffile")

        desktop = os.path.join(share, "applications", "org.tessel.Tessel.desktop")
        valid = run("desktop-file-validate", desktop)
        check(valid.returncode == 0 and not valid.stdout.strip(),
              f"the desktop entry validates without a hint ({valid.stdout.strip()})")
        with open(desktop, encoding="utf-8") as f:
            entry = f.read()
        check("Exec=tessel %U" in entry, "the entry hands links to tessel")
        meta = run("appstreamcli", "validate", "--no-net",
                   os.path.join(share, "metainfo", "org.tessel.Tessel.metainfo.xml"))
        check(meta.returncode == 0, f"the AppStream file validates ({meta.stdout.strip()})")

        lint = run("lintian", "--no-tag-display-limit", deb)
        errors = [line for line in lint.stdout.splitlines() if line.startswith("E:")]
        check(not errors, f"lintian reports no error ({errors})")

        # What the trigger does after installing: the MIME cache of the entry.
        cache = run("update-desktop-database", os.path.join(share, "applications"))
        check(cache.returncode == 0, "the MIME cache is made from the installed entry")
        home = os.path.join(work, "home")
        os.mkdir(home)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"), XDG_DATA_DIRS=share,
                   XDG_CONFIG_DIRS=os.path.join(work, "etc-xdg"), XDG_CURRENT_DESKTOP="X-Generic")
        for scheme in ("thunder", "flashget", "qqdl", "fs2you"):
            handler = run("xdg-mime", "query", "default", f"x-scheme-handler/{scheme}", env=env).stdout.strip()
            check(handler == "org.tessel.Tessel.desktop", f"{scheme}:// opens Tessel ({handler!r})")

        version_out = run(os.path.join(root, "usr", "bin", "tessel-cli"), "--help")
        check(version_out.returncode == 0, "the packaged tessel-cli runs")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
