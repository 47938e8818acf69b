#!/usr/bin/python3
# A stand-in for the desktop portal's GlobalShortcuts interface on the
# session bus: sessions, bound shortcuts with a trigger of its own choosing,
# and a test interface (dev.dozuzavuvu.Test) to read what was bound, press a
# shortcut (Activated) and change the triggers (ShortcutsChanged).
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.GlobalShortcuts"


def trigger_description(preferred):
    # "CTRL+ALT+m" reads "Ctrl+Alt+M", as a desktop would show it.
    names = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Super"}
    parts = str(preferred).split("+")
    return "+".join([names.get(p, p) for p in parts[:-1]] + [parts[-1].upper() if len(parts[-1]) == 1 else parts[-1]])


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions = {}
        self.bound = []  # (session, id, description, preferred trigger)
        self.configured = 0

    def request(self, sender, token, results):
        path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        req = Request(self.bus, path)
        GLib.timeout_add(20, lambda: (req.Response(dbus.UInt32(0), results), req.remove_from_connection(), False)[2])
        return dbus.ObjectPath(path)

    @dbus.service.method(IFACE, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        handle = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"), options["session_handle_token"])
        self.sessions[handle] = sender
        return self.request(sender, options["handle_token"], {"session_handle": dbus.String(handle)})

    @dbus.service.method(IFACE, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        self.bound = [(str(session), str(i), str(o.get("description", "")), str(o.get("preferred_trigger", "")))
                      for i, o in shortcuts]
        return self.request(sender, options["handle_token"], {"shortcuts": self.described()})

    @dbus.service.method(IFACE, in_signature="osa{sv}", out_signature="")
    def ConfigureShortcuts(self, session, parent, options):
        self.configured += 1

    def described(self):
        return dbus.Array([dbus.Struct((i, {"description": dbus.String(d),
                                            "trigger_description": dbus.String(trigger_description(p) if p else "")}))
                           for _, i, d, p in self.bound], signature="(sa{sv})")

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == IFACE and name == "version":
            return dbus.UInt32(2)
        raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.UnknownProperty")

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.signal(IFACE, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session, shortcuts):
        pass

    # ---- for the test
    @dbus.service.method("dev.dozuzavuvu.Test", in_signature="", out_signature="a(sss)")
    def Bound(self):
        return [(i, d, p) for _, i, d, p in self.bound]

    @dbus.service.method("dev.dozuzavuvu.Test", in_signature="", out_signature="ao")
    def Sessions(self):
        return [dbus.ObjectPath(h) for h in self.sessions]

    @dbus.service.method("dev.dozuzavuvu.Test", in_signature="", out_signature="u")
    def Configured(self):
        return self.configured

    @dbus.service.method("dev.dozuzavuvu.Test", in_signature="so", out_signature="")
    def Press(self, shortcut, session):
        # The root path presses in every session bound so far.
        for handle in ([session] if session != "/" else self.sessions):
            self.Activated(dbus.ObjectPath(handle), shortcut, dbus.UInt64(0), {})

    @dbus.service.method("dev.dozuzavuvu.Test", in_signature="ss", out_signature="")
    def Rebind(self, shortcut, preferred):
        self.bound = [(s, i, d, preferred if i == shortcut else p) for s, i, d, p in self.bound]
        for handle in self.sessions:
            self.ShortcutsChanged(dbus.ObjectPath(handle), self.described())


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    return name, portal


if __name__ == "__main__":
    sys.exit(main() and 0)
