#!/usr/bin/python3
"""A panel of the D-Bus notification area, for the desktop scenarios.

    sni_panel.py serve          the StatusNotifierWatcher and a host, on the session bus
    sni_panel.py items          the registered items, one "service path" a line
    sni_panel.py item NAME      the item of that Id, "service path" (NAME: Dialtally ...)
    sni_panel.py show ITEM      the item's tooltip, menu path and icon sizes
    sni_panel.py activate ITEM  a left click on the icon (Activate)
    sni_panel.py menu ITEM      the item's exported menu, one entry a line ("-" a separator)
    sni_panel.py click ITEM LABEL   a click on that entry of the exported menu
    sni_panel.py signals ITEM   how often the item said that its icon and tooltip changed
    sni_panel.py forget ITEM    forgets those counts

ITEM is "service path" as printed by `item`. Every call waits at most a few seconds.
The host reads what a panel reads: the properties, the icons, the menu's layout.
"""

import os
import sys

import dbus
import dbus.service

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"
PANEL = "org.dialtally.TestPanel"
PANEL_PATH = "/TestPanel"
PROPS = "org.freedesktop.DBus.Properties"
TIMEOUT = 5


def serve():
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    items = []  # "service path"
    counts = {}  # "service" -> {signal name: count}

    class Watcher(dbus.service.Object):
        @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
        def RegisterStatusNotifierItem(self, service, sender=None):
            # An object path alone names an item of the caller.
            if service.startswith("/"):
                item = f"{sender} {service}"
            else:
                item = f"{service} /StatusNotifierItem"
            if item not in items:
                items.append(item)
                self.StatusNotifierItemRegistered(item)

        @dbus.service.method(WATCHER, in_signature="s")
        def RegisterStatusNotifierHost(self, service):
            pass

        @dbus.service.signal(WATCHER, signature="s")
        def StatusNotifierItemRegistered(self, item):
            pass

        @dbus.service.signal(WATCHER, signature="s")
        def StatusNotifierItemUnregistered(self, item):
            pass

        @dbus.service.signal(WATCHER, signature="")
        def StatusNotifierHostRegistered(self):
            pass

        def properties(self):
            return {
                "RegisteredStatusNotifierItems": dbus.Array([i.replace(" ", "") for i in items], signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0),
            }

        @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
        def Get(self, interface, name):
            return self.properties()[name]

        @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
        def GetAll(self, interface):
            return self.properties()

        # Clients read the properties through the introspected interface, which
        # dbus-python leaves without them.
        @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s",
                             path_keyword="object_path", connection_keyword="connection")
        def Introspect(self, object_path, connection):
            xml = dbus.service.Object.Introspect(self, object_path, connection)
            properties = ('<property name="RegisteredStatusNotifierItems" type="as" access="read"/>'
                          '<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>'
                          '<property name="ProtocolVersion" type="i" access="read"/>')
            return xml.replace(f'<interface name="{WATCHER}">', f'<interface name="{WATCHER}">{properties}', 1)

    class Panel(dbus.service.Object):
        @dbus.service.method(PANEL, out_signature="as")
        def Items(self):
            return dbus.Array(items, signature="s")

        @dbus.service.method(PANEL, in_signature="s", out_signature="a{si}")
        def Counts(self, service):
            return dbus.Dictionary(counts.get(service, {}), signature="si")

        @dbus.service.method(PANEL, in_signature="s")
        def Forget(self, service):
            counts.pop(service, None)

    def owner_changed(name, old, new):
        if new:
            return
        for item in [i for i in items if i.split(" ")[0] == name or (old and i.split(" ")[0] == old)]:
            items.remove(item)
            watcher.StatusNotifierItemUnregistered(item)

    def item_signal(*args, member=None, sender=None):
        # Counted by the item's well-known name as well as by its connection.
        for item in items:
            service = item.split(" ")[0]
            if service == sender or bus_owner(service) == sender:
                per = counts.setdefault(service, {})
                per[member] = per.get(member, 0) + 1

    owners = {}

    def bus_owner(service):
        if service.startswith(":"):
            return service
        if service not in owners:
            try:
                owners[service] = bus.get_name_owner(service)
            except dbus.DBusException:
                return None
        return owners[service]

    watcher_name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    host_name = dbus.service.BusName(f"org.kde.StatusNotifierHost-{os.getpid()}", bus)
    panel_name = dbus.service.BusName(PANEL, bus)
    watcher = Watcher(watcher_name, WATCHER_PATH)
    panel = Panel(panel_name, PANEL_PATH)
    bus.add_signal_receiver(owner_changed, signal_name="NameOwnerChanged", dbus_interface="org.freedesktop.DBus")
    bus.add_signal_receiver(item_signal, dbus_interface=ITEM_IFACE, member_keyword="member", sender_keyword="sender")
    watcher.StatusNotifierHostRegistered()
    print("ready", flush=True)
    GLib.MainLoop().run()


def client():
    bus = dbus.SessionBus()
    command = sys.argv[1]

    def panel():
        return dbus.Interface(bus.get_object(PANEL, PANEL_PATH), PANEL)

    def item_object(args):
        service, path = args[0], args[1]
        return service, bus.get_object(service, path)

    def prop(obj, name):
        return obj.Get(ITEM_IFACE, name, dbus_interface=PROPS, timeout=TIMEOUT)

    if command == "items":
        for item in panel().Items(timeout=TIMEOUT):
            print(item)
    elif command == "item":
        for item in panel().Items(timeout=TIMEOUT):
            service, path = item.split(" ")
            try:
                if str(prop(bus.get_object(service, path), "Id")) == sys.argv[2]:
                    print(item)
                    return 0
            except dbus.DBusException:
                continue
        return 1
    elif command == "show":
        _, obj = item_object(sys.argv[2:])
        tip = prop(obj, "ToolTip")
        print("tooltip:", str(tip[2]), str(tip[3]))
        print("title:", str(prop(obj, "Title")))
        print("menu:", str(prop(obj, "Menu")))
        sizes = sorted({(int(w), int(h)) for w, h, _ in prop(obj, "IconPixmap")})
        print("icon sizes:", " ".join(f"{w}x{h}" for w, h in sizes))
    elif command == "activate":
        _, obj = item_object(sys.argv[2:])
        obj.Activate(0, 0, dbus_interface=ITEM_IFACE, timeout=TIMEOUT)
    elif command in ("menu", "click"):
        service, obj = item_object(sys.argv[2:])
        path = str(prop(obj, "Menu"))
        if path in ("", "/", "/NO_DBUSMENU"):
            print(f"the item exports no menu ({path})", file=sys.stderr)
            return 2
        menu = dbus.Interface(bus.get_object(service, path), MENU_IFACE)
        menu.AboutToShow(0, timeout=TIMEOUT)
        _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"), timeout=TIMEOUT)
        entries = []
        for child in layout[2]:
            ident, props = int(child[0]), child[1]
            if not bool(props.get("visible", True)):
                continue
            if str(props.get("type", "")) == "separator":
                entries.append((ident, "-", True))
            else:
                entries.append((ident, str(props.get("label", "")).replace("_", ""),
                                bool(props.get("enabled", True))))
        if command == "menu":
            for _, label, enabled in entries:
                print(label if enabled else label + " (disabled)")
        else:
            wanted = sys.argv[4]
            for ident, label, _ in entries:
                if label == wanted:
                    menu.Event(ident, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0), timeout=TIMEOUT)
                    return 0
            print(f"no entry {wanted!r} in the menu", file=sys.stderr)
            return 1
    elif command == "signals":
        counts = panel().Counts(sys.argv[2], timeout=TIMEOUT)
        for name in ("NewIcon", "NewToolTip", "NewTitle", "NewStatus"):
            print(name, int(counts.get(name, 0)))
    elif command == "forget":
        panel().Forget(sys.argv[2], timeout=TIMEOUT)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    if sys.argv[1] == "serve":
        serve()
    else:
        try:
            sys.exit(client())
        except dbus.DBusException as error:
            print(f"D-Bus: {error.get_dbus_name()}: {error.get_dbus_message()}", file=sys.stderr)
            sys.exit(1)
