#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Download buttons in a real Chromium with the installed extension and host.

  browser_system_test.py BUILD-DIR chromium|firefox

The build is installed into a throwaway prefix.  Chromium (under openbox on a
virtual display, driven by chromedriver) loads share/chromium/extensions/tessel/
and finds the host through the manifest from etc/chromium/native-messaging-hosts/
copied into a throwaway profile.  A loopback page hides its links as download
sites do; each click must bring Tessel's question with the decoded address,
first with no Tessel running (the host starts it), then with Tessel running.
The question's text is read over the accessibility bus, as a screen reader
reads it.  Firefox ESR (no driver in Debian: xdotool clicks) takes the add-on
of share/mozilla/extensions/ into a throwaway profile, unsigned as ESR allows,
and the host manifest of lib/mozilla/native-messaging-hosts/.  Skipped (77)
only when the browser cannot start at all.
"""

import base64
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
except ImportError:
    # Debian's python3-selenium lives beside the system's own interpreter.
    if os.path.exists("/usr/bin/python3") and not os.environ.get("TESSEL_SYSTEM_PYTHON"):
        os.environ["TESSEL_SYSTEM_PYTHON"] = "1"
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    raise

from xsession import SKIP, Display, Tessel, expect, outcome, wait_until

BUILD, BROWSER = sys.argv[1:3]
HOST_NAME = "org.tessel.browser_host"
EXTENSION_ID = "molbfeahooaihilpncfgpmkalanclgke"
QUESTION = "是否交给 aria2 下载？\n\n"


def wrap(scheme, address):
    """A download manager's link to `address`, in GBK as the sites write them."""
    head, tail, end = {"thunder": (b"AA", b"ZZ", "/"), "flashget": (b"[FLASHGET]", b"[FLASHGET]", "&1"),
                       "qqdl": (b"", b"", "")}[scheme]
    return f"{scheme}://" + base64.b64encode(head + address.encode("gbk") + tail).decode() + end


def serve_page():
    """The download page on 127.0.0.1; returns the server, its address and
    the plain address behind each button."""

    class Handler(http.server.BaseHTTPRequestHandler):
        html = b""

        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.end_headers()
            self.wfile.write(Handler.html)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    base = f"http://127.0.0.1:{server.server_address[1]}"
    a = {name: f"{base}/下载/{name}影片.mkv" for name in ("属性", "脚本", "快车", "外层", "菜单", "选中一", "选中二", "选中三")}
    Handler.html = f"""<!doctype html><meta charset="utf-8"><title>download</title>
<script>function mark(what) {{ document.title = what; }}</script>
<style>:target {{ position: fixed; inset: 0; background: white; font-size: 40px; }}</style>
<p><a id="attr" href="javascript:;" thunderhref="{wrap('thunder', a['属性'])}" onclick="mark('page-handler')"
      oncontextmenu="ThunderNetwork_SetHref(this)">迅雷下载</a>
<p><a id="script" href="#" onclick="return OnDownloadClick_Simple(this, 2, 4, '{wrap('thunder', a['脚本'])}')"
      >迅雷专用高速下载</a>
<p><a id="plain" href="{wrap('flashget', a['快车'])}" onclick="mark('page-handler')">快车下载</a>
<div downloadurl="{wrap('thunder', a['外层'])}"><a id="inner" href="javascript:;">高速下载</a></div>
<p><a id="normal" href="#" onclick="mark('normal-link')">普通链接</a>
<button id="copy" data-clipboard-text="{wrap('thunder', a['属性'])}" onclick="mark('copied')">复制迅雷链接</button>
<p><a id="menu" href="javascript:;" fg="{wrap('flashget', a['菜单'])}">右键下载</a>
<p id="several">选中这一段：<a href="{wrap('thunder', a['选中一'])}">第一集</a>，文字里的地址 {a['选中二']} ，
<a href="javascript:;" qhref="{wrap('qqdl', a['选中三'])}">第三集</a>，再写一次 {wrap('thunder', a['选中一'])} 。
<script>if (location.search) document.title = "download " + location.search;  // the page is there</script>
""".encode()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, base, a


# Run by the system's python3 with the accessibility bus of the test: the
# text of every open question of Tessel, its label and the list of addresses
# below it when it asks for several.
READ_QUESTIONS = r"""
import gi, json
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi
def children(node):
    return [c for c in (node.get_child_at_index(i) for i in range(node.get_child_count())) if c]
def text(node):
    if node.get_role_name() == "label":
        return node.get_name()
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node)) if node.get_role_name() == "text" else ""
print(json.dumps(["\n".join(t for t in map(text, children(box)) if t)
                  for app in children(Atspi.get_desktop(0)) if app.get_name() == "TESSEL"
                  for box in children(app) if box.get_role_name() == "alert" and box.get_name() == "提示"]))
"""


class Session:
    def __init__(self, display, prefix):
        self.display, self.prefix = display, prefix
        self.tessel = os.path.join(prefix, "bin", "tessel")
        display.start_session_bus()
        # aria2 is never reached: every question is answered No.
        self.t = Tessel(display, self.tessel, {"services": {"Aria2Rpc": "http://127.0.0.1:9/jsonrpc"}})
        self.env = dict(self.t.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        display.helper(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env)
        self.driver = self.firefox = None

    def chromium(self):
        self.profile = os.path.join(self.t.home, "chromium")
        os.makedirs(os.path.join(self.profile, "NativeMessagingHosts"))
        shutil.copy(os.path.join(self.prefix, "etc", "chromium", "native-messaging-hosts", HOST_NAME + ".json"),
                    os.path.join(self.profile, "NativeMessagingHosts"))
        extension = os.path.join(self.prefix, "share", "chromium", "extensions", "tessel")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/lib/chromium/chromium"
        # --load-extension is what Debian's chromium does for its extensions folder.
        for arg in (f"--user-data-dir={self.profile}", f"--load-extension={extension}",
                    f"--disable-extensions-except={extension}", "--no-sandbox", "--no-first-run", "--disable-gpu",
                    "--password-store=basic", "--window-position=0,0", "--window-size=900,700"):
            options.add_argument(arg)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver", env=self.env), options=options)
        return self.driver

    def start_firefox(self, url):
        """Firefox ESR with the installed add-on and host, showing `url`;
        the window's id, or None when it does not come up."""
        profile = os.path.join(self.t.home, "firefox")
        os.makedirs(os.path.join(profile, "extensions"))
        addon = os.path.join(self.prefix, "share", "mozilla", "extensions",
                             "{ec8030f7-c20a-464f-9b0e-13a3a9e97384}", "browser@tessel.org")
        with open(os.path.join(addon, "background.js")) as f:
            background = f.read()
        # On a busy machine Firefox starts the add-on's background well after
        # its pages' scripts: here it always listens only 3 s after it starts,
        # so the first click comes before anyone listens, and must still arrive.
        listen = "api.runtime.onMessage.addListener("
        late = background.replace(listen, "setTimeout(() => " + listen)
        late = late.rstrip().removesuffix(";") + ", 3000);\n"
        expect(late.count("setTimeout(") == background.count("setTimeout(") + 1 and late.endswith("}), 3000);\n"),
               "the add-on's background is made to listen late")
        with zipfile.ZipFile(os.path.join(profile, "extensions", "browser@tessel.org.xpi"), "w") as xpi:
            for folder, _, files in os.walk(addon):
                for name in files:
                    path = os.path.join(folder, name)
                    if path == os.path.join(addon, "background.js"):
                        xpi.writestr("background.js", late)
                    else:
                        xpi.write(path, os.path.relpath(path, addon))
        with open(os.path.join(profile, "user.js"), "w") as f:
            for key, value in (("xpinstall.signatures.required", "false"), ("extensions.autoDisableScopes", "0"),
                               ("browser.shell.checkDefaultBrowser", "false"),
                               ("datareporting.policy.dataSubmissionEnabled", "false"),
                               ("browser.startup.homepage_override.mstone", '"ignore"'),
                               # the accessibility bus is there for Tessel's question, not for
                               # Firefox's pages, whose trees would slow everything down
                               ("accessibility.force_disabled", "1"),
                               # what the add-on's scripts write to their consoles goes to the
                               # log, shown when a click goes wrong
                               ("devtools.console.stdout.content", "true"),
                               ("devtools.console.stdout.chrome", "true")):
                f.write(f'user_pref("{key}", {value});\n')
        hosts = os.path.join(self.t.home, ".mozilla", "native-messaging-hosts")
        os.makedirs(hosts)
        shutil.copy(os.path.join(self.prefix, "lib", "mozilla", "native-messaging-hosts", HOST_NAME + ".json"), hosts)
        self.firefox_log = os.path.join(self.t.home, "firefox.log")
        with open(self.firefox_log, "wb") as log:
            self.firefox = subprocess.Popen(["firefox-esr", "--no-remote", "--profile", profile, url], env=self.env,
                                            stdout=log, stderr=subprocess.STDOUT)
        found = wait_until(lambda: self.display.xdotool("search", "--onlyvisible", "--class", "firefox"), timeout=60)
        return found.split()[-1] if found else None

    def firefox_click(self, window, base, button, timeout=30):
        """Loads the page anew (its fragment makes that button fill the page),
        waits for its title and clicks the middle of the page with the mouse."""
        self.loads = getattr(self, "loads", 0) + 1
        for _ in range(3):  # typing into a window still starting up can go nowhere
            self.display.xdotool("windowactivate", "--sync", window, "key", "ctrl+l", "sleep", "0.3")
            self.display.xdotool("type", "--delay", "5", f"{base}/?load={self.loads}#{button}")
            self.display.xdotool("key", "Return")
            if wait_until(lambda: f"load={self.loads}" in self.display.xdotool("getwindowname", window), timeout=10):
                break
        geo = dict(line.split("=") for line in self.display.xdotool("getwindowgeometry", "--shell", window).split())
        self.display.xdotool("mousemove", int(geo["X"]) + int(geo["WIDTH"]) // 2,
                             int(geo["Y"]) + int(geo["HEIGHT"]) * 2 // 3, "sleep", "0.3")
        began = time.monotonic()
        self.display.xdotool("click", 1)
        # The page's own handler names the window when the add-on missed the click.
        seen = wait_until(lambda: self.question_box(0) or "page-handler" in self.display.xdotool(
            "getwindowname", window), timeout=timeout)
        took = time.monotonic() - began
        if seen is True:
            return [], None
        texts = self.questions(1)[0]
        if not texts:
            with open(self.firefox_log, errors="replace") as f:
                print("What Firefox's log says of Tessel:\n" + "".join(l for l in f if "Tessel" in l)[-2000:])
        return texts, took

    def question_box(self, timeout):
        return self.display.find("^提示$", timeout, step=0.02)

    def questions(self, first_timeout=20):
        """Every question that comes, each read and answered No; and the
        seconds until the first one."""
        began, texts = time.monotonic(), []
        box = self.question_box(first_timeout)
        took = time.monotonic() - began
        while box:
            read = lambda: json.loads(subprocess.run(["/usr/bin/python3", "-c", READ_QUESTIONS], env=self.env,
                                                     capture_output=True, timeout=30).stdout or b"[]")
            texts += wait_until(read, timeout=5) or [""]
            self.display.xdotool("windowactivate", "--sync", box)
            # A link's question takes keys only once the keyboard has been
            # quiet for half a second after it appeared.
            time.sleep(0.7)
            self.display.xdotool("key", "Escape")
            wait_until(lambda: not self.question_box(0))
            box = self.question_box(2)
        return texts, took

    def click(self, element_id):
        self.driver.find_element("id", element_id).click()
        return self.questions()

    def context_menu(self, element_id):
        """Right-clicks the element and picks the extension's entry: the one it
        shows there comes last, right above "检查" (Inspect)."""
        x, y = self.driver.execute_script(
            "const r = document.getElementById(arguments[0]).getBoundingClientRect();"
            "return [window.screenX + (window.outerWidth - window.innerWidth) / 2 + r.left + 20,"
            "        window.screenY + window.outerHeight - window.innerHeight + r.top + 8];", element_id)
        for _ in range(3):  # a menu slow to open under load misses the keys: once more
            self.display.xdotool("mousemove", int(x), int(y), "sleep", "0.2", "click", 3, "sleep", "0.8",
                                 "key", "Up", "Up", "sleep", "0.2", "key", "Return")
            texts = self.questions(10)[0]
            if texts:
                return texts
            self.display.xdotool("key", "Escape")
        return []

    def tessels(self):
        """Our Tessel when it runs: the prefix's program with this test's home."""
        def ours(pid):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    return (os.path.realpath(f"/proc/{pid}/exe") == os.path.realpath(self.tessel) and
                            f"HOME={self.t.home}".encode() in f.read().split(b"\0"))
            except OSError:
                return False
        return [int(p) for p in os.listdir("/proc") if p.isdigit() and ours(p)]

    def stop(self):
        if self.driver:
            self.driver.quit()
        if self.firefox:
            self.firefox.terminate()
            self.firefox.wait(timeout=10)
        for pid in self.tessels():
            os.kill(pid, 15)
        wait_until(lambda: not self.tessels(), timeout=5)
        self.t.stop()


def firefox(s, base, a):
    window = s.start_firefox(base + "/") if shutil.which("firefox-esr") else None
    if window is None:
        print("skip - Firefox ESR cannot start here")
        return SKIP
    # The add-on starts a moment after the window, and only pages loaded after
    # that have its script: the page is loaded anew while the page's own
    # handler takes the click.
    for _ in range(5):
        texts, took = s.firefox_click(window, base, "attr")
        if took is not None:
            break
    expect(texts == [QUESTION + a["属性"]], f"Firefox, not running: a thunderhref on a javascript:; anchor asks "
                                         f"({texts}, {took * 1000:.0f} ms after the click)")
    expect(bool(s.tessels()), "the host started Tessel")
    texts, took = s.firefox_click(window, base, "script")
    expect(texts == [QUESTION + a["脚本"]], f"Firefox, running: a link inside an onclick string "
                                         f"({texts}, {took * 1000:.0f} ms after the click)")
    expect(s.firefox_click(window, base, "plain")[0] == [QUESTION + a["快车"]], "Firefox: a plain flashget:// link")
    return None


def chromium(s, base, a):
    try:
        driver = s.chromium()
    except WebDriverException as error:
        print(f"skip - Chromium cannot start here: {str(error).splitlines()[0]}")
        return SKIP
    driver.get(base + "/")

    texts, took = s.click("attr")
    expect(texts == [QUESTION + a["属性"]], f"not running: a thunderhref on a javascript:; anchor asks "
                                         f"({texts}, {took * 1000:.0f} ms after the click)")
    expect(driver.title == "download", "the page's own handler did not run")
    expect(bool(s.tessels()), "the host started Tessel")

    texts, took = s.click("attr")
    expect(texts == [QUESTION + a["属性"]], f"running: asked again ({took * 1000:.0f} ms after the click)")
    expect(s.click("script")[0] == [QUESTION + a["脚本"]], "a link inside an onclick string")
    expect(s.click("plain")[0] == [QUESTION + a["快车"]], "a plain flashget:// link")
    expect(s.click("inner")[0] == [QUESTION + a["外层"]], "a dead anchor inside an element with the link")
    expect(driver.title == "download", "no page handler ran for these clicks")
    driver.find_element("id", "normal").click()
    expect(wait_until(lambda: driver.title == "normal-link", timeout=3) and s.question_box(1) is None,
           "an ordinary link is left to the page")
    driver.find_element("id", "copy").click()
    expect(wait_until(lambda: driver.title == "copied", timeout=3) and s.question_box(1) is None,
           "a button that copies a link keeps copying")

    expect(s.context_menu("menu") == [QUESTION + a["菜单"]], "用 Tessel 下载 on a hidden link")
    driver.execute_script(
        "const range = document.createRange();"
        "range.selectNodeContents(document.getElementById('several'));"
        "getSelection().removeAllRanges(); getSelection().addRange(range);")
    texts = s.context_menu("several")
    shown = "\n".join(texts)
    places = [shown.find(a[k]) for k in ("选中一", "选中二", "选中三")]
    expect(len(texts) == 1 and min(places) >= 0 and places == sorted(places) and shown.count(a["选中一"]) == 1,
           f"用 Tessel 下载选中的链接: one question, three links in page order, the repeated one once ({shown!r})")
    return None


def main():
    prefix = tempfile.mkdtemp(prefix="tessel-prefix-")
    out = subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], capture_output=True, timeout=180)
    expect(out.returncode == 0, "the build installs into a prefix" + ("" if out.returncode == 0 else
                                                                       f" ({out.stderr.decode()[-300:]})"))
    with open(os.path.join(prefix, "etc", "chromium", "native-messaging-hosts", HOST_NAME + ".json")) as f:
        manifest = json.load(f)
    expect(manifest["allowed_origins"] == [f"chrome-extension://{EXTENSION_ID}/"] and
           manifest["path"] == os.path.join(prefix, "libexec", "tessel", "tessel-browser-host"),
           "the host manifest names the installed host and allows exactly the extension")
    server, base, a = serve_page()
    with Display() as display:
        display.start_openbox()  # the browsers run unframed where it cannot
        s = Session(display, prefix)
        skipped = None
        try:
            skipped = (firefox if BROWSER == "firefox" else chromium)(s, base, a)
        finally:
            s.stop()
    server.shutdown()
    shutil.rmtree(prefix, ignore_errors=True)
    if skipped:
        return SKIP
    return outcome()


if __name__ == "__main__":
    sys.exit(main())
