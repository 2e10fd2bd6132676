#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real window program parses a video page through a parse service on
loopback, on a virtual X display.

  video_parse_system_test.py <tessel binary>

A page address copied by another program is pasted into the video page, the
parse asks the local service, and the media address and the title are copied
out through the X clipboard.  A reply in which the service reports a failed
parse shows its message box centred over the window.  While a reply drips in
a byte at a time, Esc and SIGTERM each end the program within a second.
"""

import http.server
import signal
import sys
import threading
import time
import urllib.parse

from window_layout import COPY_OUT, FILE_NAME, PARSE, PASTE_IN, TAB2
from xsession import Display, Tessel, check, wait_until

PAGE_ADDRESS = "http://v.test/v/12345.html"
TITLE = "测试片名"
FAILED = "解析失败，请确认视频是否被删除、地址是否正确，或稍后重试"


class LoopbackSite(http.server.ThreadingHTTPServer):
    """An HTTP server on a free port of 127.0.0.1."""

    def __init__(self, handler):
        super().__init__(("127.0.0.1", 0), handler)

    @property
    def home(self):
        return "http://127.0.0.1:%d" % self.server_address[1]


class QuietHandler(http.server.BaseHTTPRequestHandler):
    def send_body(self, data, content_type):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


class ParseService(LoopbackSite):
    """Answers /parse.php in GBK, as the real service does; remembers the kw."""

    def __init__(self):
        super().__init__(ParseHandler)
        self.asked = []
        self.reply = ""
        self.drip = False
        self.stopping = threading.Event()


class ParseHandler(QuietHandler):
    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path != "/parse.php":
            self.send_error(404)
            return
        self.server.asked.append(self.path)
        if self.server.drip:
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            try:
                while not self.server.stopping.wait(0.2):
                    self.wfile.write(b"<")
                    self.wfile.flush()
            except OSError:
                pass  # the program went away, as it should
            return
        self.send_body(self.server.reply.encode("gbk"), "text/html; charset=gb2312")


def main():
    binary = sys.argv[1]
    service = ParseService()
    threading.Thread(target=service.serve_forever, daemon=True).start()
    media = service.home + "/media/clip.flv"
    service.reply = ('<html><br>下载地址：<a href="%s" target="_blank">%s</a>'
                     '<script>var cliptitle = "%s";</script></html>' % (media, media, TITLE))
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"},
                "services": {"ParseHome": service.home, "VideoEngine": "service"}}
    with Display() as display:
        app = Tessel(display, binary, settings).start()
        try:
            app.click(*TAB2)
            display.copy("  " + PAGE_ADDRESS + "  ")
            time.sleep(0.3)
            app.click(*PASTE_IN)
            app.click(*PARSE)
            check(wait_until(lambda: service.asked), "the parse asks the service on loopback")
            check(service.asked[0] == "/parse.php?kw=%s&flag=&format=high" % PAGE_ADDRESS,
                  "the request carries the pasted address, trimmed")

            def copied(target):
                app.click(*target, repeat=2 if target == FILE_NAME else 1)
                time.sleep(0.2)
                return display.paste()

            check(wait_until(lambda: copied(COPY_OUT) == media, timeout=5),
                  "skbFlvlink puts the media address on the X clipboard")
            check(wait_until(lambda: copied(FILE_NAME) == TITLE, timeout=5),
                  "a double-click on the file-name label copies the title")

            service.reply = "<p>%s</p>" % FAILED
            app.click(*PARSE)
            box = wait_until(lambda: display.xdotool("search", "--onlyvisible", "--name", "^提示$"))
            check(box, "a failed parse shows a message box titled 提示")
            box = box.split()[0]
            geo = dict(line.split("=") for line in
                       display.xdotool("getwindowgeometry", "--shell", box).split())
            main_geo = dict(line.split("=") for line in
                            display.xdotool("getwindowgeometry", "--shell", app.window).split())
            centre = (int(geo["X"]) + int(geo["WIDTH"]) / 2, int(geo["Y"]) + int(geo["HEIGHT"]) / 2)
            main_centre = (int(main_geo["X"]) + int(main_geo["WIDTH"]) / 2,
                           int(main_geo["Y"]) + int(main_geo["HEIGHT"]) / 2)
            check(abs(centre[0] - main_centre[0]) <= 1 and abs(centre[1] - main_centre[1]) <= 1,
                  "the message box is centred over the window")
            display.xdotool("mousemove", int(centre[0]), int(centre[1]))
            display.xdotool("key", "Return")
            check(wait_until(lambda: not display.xdotool("search", "--onlyvisible", "--name", "^提示$")),
                  "the box goes away with its OK button")
            check(copied(COPY_OUT) == media, "the output box kept the address after the verdict")
        finally:
            app.stop()

        service.drip = True
        try:
            for how in ("Escape", "SIGTERM"):
                app = Tessel(display, binary, settings).start()
                try:
                    asked = len(service.asked)
                    app.click(*TAB2)
                    display.copy(PAGE_ADDRESS)
                    time.sleep(0.3)
                    app.click(*PASTE_IN)
                    app.click(*PARSE)
                    check(wait_until(lambda: len(service.asked) > asked), "a parse is dripping in")
                    time.sleep(0.5)
                    if how == "Escape":
                        app.key("Escape")
                    else:
                        app.proc.send_signal(signal.SIGTERM)
                    began = time.monotonic()
                    code = app.wait_exit(timeout=5)
                    took = time.monotonic() - began
                    check(code is not None and took < 1.0,
                          "%s during a dripping reply ends the program (%.2f s)" % (how, took))
                finally:
                    app.stop()
        finally:
            service.stopping.set()
            service.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
