#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A notification service and a file manager on the session bus that write
down what they are asked, for the system tests.

  notification_recorder.py RECORD_FILE

Takes org.freedesktop.Notifications and org.freedesktop.FileManager1 and
appends one JSON line per Notify and ShowItems call to RECORD_FILE.  The
test presses a notification's action through the extra method
org.tessel.Test.Invoke(id, key), which emits ActionInvoked as a desktop's
notification service does when the user clicks.  Prints "ready" once both
names are taken.  Needs Debian's python3-dbus and python3-gi.
"""

import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NOTIFY = "org.freedesktop.Notifications"
MANAGER = "org.freedesktop.FileManager1"


class Recorder:
    def __init__(self, path):
        self.path = path

    def write(self, entry):
        with open(self.path, "a") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")


class Notifications(dbus.service.Object):
    def __init__(self, bus, recorder):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.recorder = recorder
        self.next_id = 1

    @dbus.service.method(NOTIFY, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "actions"]

    @dbus.service.method(NOTIFY, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("recorder", "tessel-tests", "1", "1.2")

    @dbus.service.method(NOTIFY, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid = self.next_id
        self.next_id += 1
        self.recorder.write({"call": "Notify", "id": nid, "app": str(app), "summary": str(summary),
                             "body": str(body), "actions": [str(a) for a in actions]})
        return dbus.UInt32(nid)

    @dbus.service.method(NOTIFY, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        self.NotificationClosed(nid, 3)

    @dbus.service.signal(NOTIFY, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NOTIFY, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.method("org.tessel.Test", in_signature="us", out_signature="")
    def Invoke(self, nid, key):
        self.ActionInvoked(nid, key)


class FileManager(dbus.service.Object):
    def __init__(self, bus, recorder):
        super().__init__(bus, "/org/freedesktop/FileManager1")
        self.recorder = recorder

    @dbus.service.method(MANAGER, in_signature="ass", out_signature="")
    def ShowItems(self, uris, startup):
        self.recorder.write({"call": "ShowItems", "uris": [str(u) for u in uris]})


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    recorder = Recorder(sys.argv[1])
    names = [dbus.service.BusName(NOTIFY, bus), dbus.service.BusName(MANAGER, bus)]
    objects = [Notifications(bus, recorder), FileManager(bus, recorder)]
    print("ready", flush=True)
    GLib.MainLoop().run()
    del names, objects


if __name__ == "__main__":
    main()
