#!/usr/bin/python3
"""A stand-in tray host on the session bus, for the desktop tests.

  fake-tray.py watch LOG [light|dark]
                           owns org.kde.StatusNotifierWatcher, says a host is
                           registered, and appends "registered TIME SERVICE PATH"
                           to LOG for each item (TIME: seconds since the epoch);
                           with a scheme, also answers the settings portal's
                           color-scheme with it.
  fake-tray.py scheme light|dark
                           the desktop changes its scheme: the portal of a
                           running watch says so with SettingChanged.
  fake-tray.py icon        prints the item's IconName and IconThemePath (as
                           GetAll sends them) and "pixel R G B A": the most
                           opaque pixel of the largest IconPixmap.
  fake-tray.py tooltip     prints the item's Title and ToolTip text.
  fake-tray.py menu        prints the item's menu, one entry a line: two spaces
                           a level, "[x] "/"[ ] " on check items, "(disabled) "
                           on disabled ones, then the label as sent.
  fake-tray.py click LABEL clicks the menu entry whose label, without leading
                           spaces, is LABEL (submenus searched too).
"""
import sys
import time

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"

# Qt reads the properties through an interface object that introspects first.
INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
</node>
"""


class Watcher(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, WATCHER_PATH)
        self.log = log
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its service, or only its path on the caller's connection.
        if service.startswith("/"):
            name, path = sender, service
        else:
            name, path = service, "/StatusNotifierItem"
        entry = "%s %s" % (name, path)
        if entry not in self.items:
            self.items.append(entry)
        with open(self.log, "a") as f:
            f.write("registered %.6f %s\n" % (time.time(), entry))
        self.StatusNotifierItemRegistered(entry)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return INTROSPECTION


class Portal(dbus.service.Object):
    """The desktop's light or dark preference, as the settings portal tells it."""

    def __init__(self, bus, scheme):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.value = {"dark": 1, "light": 2}[scheme]

    @dbus.service.method("org.freedesktop.portal.Settings", in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        if (namespace, key) != ("org.freedesktop.appearance", "color-scheme"):
            raise dbus.exceptions.DBusException("no such setting",
                                                name="org.freedesktop.portal.Error.NotFound")
        # Read wraps the value in a second variant.
        return dbus.UInt32(self.value, variant_level=1)

    @dbus.service.signal("org.freedesktop.portal.Settings", signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    # Not the portal's: how a test changes the desktop's scheme.
    @dbus.service.method("dev.dozuzavuvu.test.Scheme", in_signature="s", out_signature="")
    def Set(self, scheme):
        self.value = {"dark": 1, "light": 2}[scheme]
        self.SettingChanged("org.freedesktop.appearance", "color-scheme", dbus.UInt32(self.value, variant_level=1))


def watch(log, scheme=None):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = None
    if scheme:
        portal = Portal(bus, scheme)
        portal_name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus, do_not_queue=True)
    watcher = Watcher(bus, log)
    # Only once the object answers: the name is what the program looks for.
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    print("watching", flush=True)
    GLib.MainLoop().run()
    del watcher, name, portal


def show_icon(bus):
    obj, _ = item(bus)
    props = obj.GetAll(ITEM, dbus_interface=PROPS)
    print("name:", props.get("IconName", ""))
    print("theme path:", props.get("IconThemePath", ""))
    pixmaps = props.get("IconPixmap", [])
    if not pixmaps:
        print("pixel none")
        return
    width, height, data = max(pixmaps, key=lambda p: int(p[0]) * int(p[1]))
    data = bytes(data)
    best = (0, 0, 0, 0)
    # ARGB, one byte each, in network order.
    for i in range(0, min(len(data), int(width) * int(height) * 4), 4):
        a, r, g, b = data[i], data[i + 1], data[i + 2], data[i + 3]
        if a > best[3]:
            best = (r, g, b, a)
    print("pixel %d %d %d %d" % best)


def item(bus):
    watcher = bus.get_object(WATCHER, WATCHER_PATH)
    items = watcher.Get(WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS)
    if not items:
        sys.exit("no item registered")
    name, path = str(items[-1]).split(" ", 1)
    return bus.get_object(name, path), name


def menu_layout(bus):
    obj, name = item(bus)
    path = obj.Get(ITEM, "Menu", dbus_interface=PROPS)
    menu = bus.get_object(name, path)
    # The program builds its menu when it is about to open.
    menu.AboutToShow(dbus.Int32(0), dbus_interface=MENU)
    _, layout = menu.GetLayout(dbus.Int32(0), dbus.Int32(-1), dbus.Array([], signature="s"), dbus_interface=MENU)
    return menu, layout


def entries(layout, depth=0):
    for child in layout[2]:
        ident, props, _ = child
        yield depth, int(ident), props
        yield from entries(child, depth + 1)


def show_menu(bus):
    _, layout = menu_layout(bus)
    for depth, _, props in entries(layout):
        if props.get("type") == "separator":
            line = "-----" + (" " + str(props["label"]) if props.get("label") else "")
        else:
            line = str(props.get("label", ""))
            if not bool(props.get("enabled", True)):
                line = "(disabled) " + line
            if props.get("toggle-type"):
                line = ("[x] " if int(props.get("toggle-state", 0)) == 1 else "[ ] ") + line
        print("  " * depth + line)


def click(bus, label):
    menu, layout = menu_layout(bus)
    for _, ident, props in entries(layout):
        if str(props.get("label", "")).lstrip(" ") == label:
            menu.Event(dbus.Int32(ident), "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                       dbus_interface=MENU)
            return
    sys.exit("no menu entry %r" % label)


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "watch" and len(sys.argv) in (3, 4):
        return watch(sys.argv[2], sys.argv[3] if len(sys.argv) == 4 else None)
    bus = dbus.SessionBus()
    if command == "tooltip":
        obj, _ = item(bus)
        print("title:", obj.Get(ITEM, "Title", dbus_interface=PROPS))
        tip = obj.Get(ITEM, "ToolTip", dbus_interface=PROPS)
        print("tooltip title:", tip[2])
        print("tooltip text:", tip[3])
    elif command == "icon":
        show_icon(bus)
    elif command == "scheme" and len(sys.argv) == 3:
        portal = bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
        portal.Set(sys.argv[2], dbus_interface="dev.dozuzavuvu.test.Scheme")
    elif command == "menu":
        show_menu(bus)
    elif command == "click" and len(sys.argv) == 3:
        click(bus, sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
