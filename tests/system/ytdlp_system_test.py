#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real window program resolves a video page with the real yt-dlp, on a
virtual X display, with the page and its media served on loopback.

  ytdlp_system_test.py <tessel binary>

A page with a <video> element and a title is pasted into the video page,
"解析地址" runs yt-dlp, and the media address and the title are copied out
through the X clipboard.  A page without media ends in the failure text.
Exits 77 (skipped) when yt-dlp is not installed.
"""

import shutil
import sys
import threading
import time

from video_parse_system_test import LoopbackSite, QuietHandler
from window_layout import COPY_OUT, FILE_NAME, PARSE, PASTE_IN, TAB2
from xsession import SKIP, Display, Tessel, check, wait_until

TITLE = "测试影片"
FAILED = "对不起，解析失败，您可以到硕鼠网站试试"


class SiteHandler(QuietHandler):
    def do_GET(self):
        if self.path == "/watch.html":
            body = ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>%s</title></head>'
                    '<body><video src="/media/clip.mp4" controls></video></body></html>' % TITLE)
        elif self.path == "/plain.html":
            body = '<!DOCTYPE html><html><head><title>无视频</title></head><body><p>文字</p></body></html>'
        elif self.path == "/media/clip.mp4":
            self.send_body(b"\0\0\0\x18ftypmp42" + b"\0" * 4096, "video/mp4")
            return
        else:
            self.send_error(404)
            return
        self.send_body(body.encode("utf-8"), "text/html; charset=utf-8")


def main():
    binary = sys.argv[1]
    if not shutil.which("yt-dlp"):
        print("skip - yt-dlp is not installed")
        return SKIP
    site = LoopbackSite(SiteHandler)
    threading.Thread(target=site.serve_forever, daemon=True).start()
    media = site.home + "/media/clip.mp4"
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500"},
                "services": {"VideoEngine": "yt-dlp"}}
    with Display() as display:
        app = Tessel(display, binary, settings).start()
        try:
            app.click(*TAB2)

            def parse(address):
                display.copy(address)
                time.sleep(0.3)
                app.click(*PASTE_IN)
                app.click(*PARSE)

            def copied(target):
                app.click(*target, repeat=2 if target == FILE_NAME else 1)
                time.sleep(0.2)
                return display.paste()

            parse(site.home + "/watch.html")
            check(wait_until(lambda: copied(COPY_OUT) == media, timeout=60),
                  "yt-dlp's media address goes into the output box and out through the X clipboard")
            title = copied(FILE_NAME)
            check(title.startswith(TITLE), "a double-click on the file-name label copies the title (%r)" % title)

            parse(site.home + "/plain.html")
            check(wait_until(lambda: copied(COPY_OUT) == FAILED, timeout=60),
                  "a page yt-dlp cannot resolve ends in the failure text")
        finally:
            app.stop()
            site.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
