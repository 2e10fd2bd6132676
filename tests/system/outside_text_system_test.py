#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Outside text in the real window on a virtual display.

  outside_text_system_test.py TESSEL ip
      An address echo on loopback answers the start's queries with tables
      nested 25 deep (markup that freezes a window taking it for rich
      text); with "显示IP地址" on, the window still repaints after the reply
      and SIGTERM ends it.
"""

import http.server
import sys
import threading
import time

from window_layout import TAB_CENTRE, TAB_ROW, tab1_active
from xsession import Display, Tessel, check, run_part, wait_until

NESTED = "<table><tr><td>" * 25 + "x" + "</td></tr></table>" * 25


class Echo(http.server.ThreadingHTTPServer):
    """Counts the queries and answers each with the nested tables."""

    def __init__(self):
        self.queries = 0

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(handler):
                self.queries += 1
                body = ("window.ip = '(" + NESTED + ")';").encode()
                handler.send_response(200)
                handler.send_header("Content-Type", "text/html")
                handler.send_header("Content-Length", str(len(body)))
                handler.end_headers()
                handler.wfile.write(body)

            def log_message(handler, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def base(self):
        return f"http://127.0.0.1:{self.server_address[1]}"


def test_ip(binary):
    echo = Echo()
    settings = {"frmMain": {"firstrun": "1", "Top": "1500", "Left": "1500", "IP": "1"},
                "services": {"IpEcho": echo.base()}}
    with Display() as display:
        app = Tessel(display, binary, settings)
        try:
            app.start()
            check(wait_until(lambda: echo.queries >= 2, timeout=10), "the start asked the echo twice")
            time.sleep(1.0)  # the replies reach the window
            check(not tab1_active(display, app), "the first page is in front")
            app.click(TAB_CENTRE[1], TAB_ROW)
            check(wait_until(lambda: tab1_active(display, app), timeout=5),
                  "after the nested reply a click on a tab still repaints the window")
            app.proc.terminate()
            check(app.wait_exit() == 0, "SIGTERM ends the program normally")
        finally:
            if app.proc and app.proc.poll() is None:
                app.proc.kill()  # a frozen window ignores SIGTERM
                app.proc.wait()
            app.stop()
            echo.shutdown()


if __name__ == "__main__":
    sys.exit(run_part({"ip": test_ip}))
