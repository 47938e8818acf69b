#!/usr/bin/python3
"""A stand-in notification service on the session bus, for the desktop tests.

  fake-notices.py LOG   owns org.freedesktop.Notifications and appends the
                        body of each notification to LOG, one a line.
"""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


class Notices(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.last = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        with open(self.log, "a") as log:
            log.write(body.replace("\n", " ") + "\n")
        self.last += 1
        return self.last

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("fake-notices", "test", "1", "1.2")


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(NAME, bus)
Notices(bus, sys.argv[1])
GLib.MainLoop().run()
