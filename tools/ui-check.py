#!/usr/bin/python3
"""Tries the real Mossbin window as a keyboard and screen-reader user would.

Run by tools/ui-check.sh inside a virtual X server with a window manager and a
session bus; it is not meant to be started by hand. It starts the window on
a made-up home, moves around it with the keyboard (X test events), reads the
accessibility tree that screen readers get (AT-SPI), drags, zooms and
resizes the window, measures what the idle window costs, and saves
screenshots. Every finding is printed; the exit status is 1 when any check
failed.

    ui-check.py MOSSBIN HOME SHOTS
"""

import os
import re
import subprocess
import sys
import time
import zlib
import struct

import pyatspi
from Xlib import X, XK, display as xdisplay
from Xlib.ext import xtest

CYRILLIC = re.compile("[А-Яа-яЁё]")
# Roles a control may have; anything else (a filler, a panel, an unknown
# object) is not something a person can tell what to do with.
CONTROL_ROLES = {
    "push button", "toggle button", "radio button", "check box", "list item",
    "entry", "text", "menu item", "page tab", "combo box", "spin button", "slider",
}
# Roles whose name is the user's own content (an application's or a file's
# name), which need not be Russian.
CONTENT_ROLES = {"list item", "check box"}
IDLE_CPU_LIMIT = 5.0  # per cent of one core

failures = []


def check(condition, message):
    print(("  ok    " if condition else "  FAIL  ") + message)
    if not condition:
        failures.append(message)
    return condition


class Screen:
    """The X server: key presses, pointer, window geometry and screenshots."""

    def __init__(self, shots):
        self.display = xdisplay.Display()
        self.root = self.display.screen().root
        self.shots = shots
        self.count = 0

    def atom(self, name):
        return self.display.intern_atom(name)

    def window_of(self, pid, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            clients = self.root.get_full_property(self.atom("_NET_CLIENT_LIST"), X.AnyPropertyType)
            for wid in clients.value if clients else []:
                window = self.display.create_resource_object("window", wid)
                owner = window.get_full_property(self.atom("_NET_WM_PID"), X.AnyPropertyType)
                name = window.get_wm_name() or ""
                if owner and owner.value[0] == pid and name == "Mossbin":
                    return window
            time.sleep(0.2)
        return None

    def geometry(self, window):
        g = window.get_geometry()
        at = window.translate_coords(self.root, 0, 0)
        return -at.x, -at.y, g.width, g.height

    def property(self, window, name):
        value = window.get_full_property(self.atom(name), X.AnyPropertyType)
        return list(value.value) if value else []

    def sync(self, pause=0.25):
        self.display.sync()
        time.sleep(pause)

    def key(self, name, shift=False, pause=0.25):
        code = self.display.keysym_to_keycode(XK.string_to_keysym(name))
        shift_code = self.display.keysym_to_keycode(XK.string_to_keysym("Shift_L"))
        if shift:
            xtest.fake_input(self.display, X.KeyPress, shift_code)
        xtest.fake_input(self.display, X.KeyPress, code)
        xtest.fake_input(self.display, X.KeyRelease, code)
        if shift:
            xtest.fake_input(self.display, X.KeyRelease, shift_code)
        self.sync(pause)

    def move(self, x, y, pause=0.02):
        xtest.fake_input(self.display, X.MotionNotify, x=int(x), y=int(y))
        self.sync(pause)

    def button(self, press, pause=0.05):
        xtest.fake_input(self.display, X.ButtonPress if press else X.ButtonRelease, 1)
        self.sync(pause)

    def drag(self, start, end, steps=12):
        self.move(*start, pause=0.1)
        self.button(True, pause=0.1)
        for i in range(1, steps + 1):
            self.move(start[0] + (end[0] - start[0]) * i / steps,
                      start[1] + (end[1] - start[1]) * i / steps, pause=0.03)
        self.button(False, pause=0.6)

    def double_click(self, x, y):
        self.move(x, y, pause=0.1)
        for _ in range(2):
            self.button(True, pause=0.02)
            self.button(False, pause=0.05)
        self.sync(0.8)

    def shot(self, name, window=None, margin=24):
        """Saves the screen around the window (or all of it) as a PNG."""
        width, height = self.root.get_geometry().width, self.root.get_geometry().height
        x, y, w, h = 0, 0, width, height
        if window is not None:
            wx, wy, ww, wh = self.geometry(window)
            x, y = max(0, wx - margin), max(0, wy - margin)
            w, h = min(width - x, ww + 2 * margin), min(height - y, wh + 2 * margin)
        raw = self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::4], raw[1::4], raw[0::4]
        rows = b"".join(b"\0" + bytes(rgb[r * w * 3:(r + 1) * w * 3]) for r in range(h))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        self.count += 1
        path = os.path.join(self.shots, "%02d-%s.png" % (self.count, name))
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
            out.write(chunk(b"IDAT", zlib.compress(rows, 6)))
            out.write(chunk(b"IEND", b""))
        print("  shot  " + path)


class Tree:
    """The window's accessibility tree as screen readers see it."""

    def __init__(self, pid, timeout=30):
        deadline = time.time() + timeout
        self.app = None
        while self.app is None and time.time() < deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                try:
                    if app is not None and app.get_process_id() == pid:
                        self.app = app
                except Exception:
                    pass
            time.sleep(0.3)

    def walk(self, node=None, limit=4000):
        stack = [node or self.app]
        seen = 0
        while stack and seen < limit:
            current = stack.pop()
            seen += 1
            yield current
            try:
                showing = current.getState().contains(pyatspi.STATE_SHOWING)
                if current is not self.app and not showing:
                    continue
                stack.extend(current.getChildAtIndex(i) for i in reversed(range(current.childCount)))
            except Exception:
                continue

    def focused(self):
        # Every focus scope on the way to the focused control says it is
        # focused too: the deepest one is the control.
        found = None
        for node in self.walk():
            try:
                if (node.getState().contains(pyatspi.STATE_FOCUSED)
                        and node.getRoleName() not in ("frame", "window", "application")):
                    found = node
            except Exception:
                continue
        return found

    def find(self, role, name=None, within=None):
        """The first shown node of that role and name (a closed window stays
        in the tree, hidden)."""
        for node in self.walk(within):
            try:
                if (node.getRoleName() == role and (name is None or node.name == name)
                        and node.getState().contains(pyatspi.STATE_SHOWING)):
                    return node
            except Exception:
                continue
        return None


def describe(node):
    if node is None:
        return ("", "(nothing)")
    return (node.name or "", node.getRoleName())


def inside(node, ancestor):
    while node is not None:
        if node == ancestor:
            return True
        node = node.parent
    return False


def tab_round(screen, tree, label, within=None, limit=40):
    """Tabs until the focus comes back to where it started; checks each stop."""
    print("Tab order: " + label)
    stops = []
    screen.key("Tab")
    first = describe(tree.focused())
    for _ in range(limit):
        node = tree.focused()
        stop = describe(node)
        stops.append(stop)
        name, role = stop
        check(role in CONTROL_ROLES, "%-28s is a control (%s)" % (repr(name), role))
        if role in CONTENT_ROLES and not CYRILLIC.search(name):
            check(name != "", "%-28s has a name" % repr(name))
        else:
            check(CYRILLIC.search(name) is not None, "%-28s has a Russian name" % repr(name))
        if within is not None:
            check(inside(node, within), "%-28s stays inside %s" % (repr(name), within.name))
        screen.key("Tab")
        if describe(tree.focused()) == first:
            break
    check(len(stops) > 1, "%d stops, and Tab comes back round" % len(stops))
    screen.key("Tab", shift=True)
    check(describe(tree.focused()) == stops[-1], "Shift+Tab goes back to %r" % (stops[-1][0],))
    return stops


def tab_to(screen, tree, name=None, role=None, limit=30):
    for _ in range(limit):
        got_name, got_role = describe(tree.focused())
        if (name is None or got_name == name) and (role is None or got_role == role):
            return True
        screen.key("Tab")
    return False


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    executable, home, shots = sys.argv[1:4]
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    app = subprocess.Popen([executable], cwd=home, env=environment,
                           stdout=subprocess.DEVNULL, stderr=open(os.path.join(shots, "mossbin.log"), "w"))
    try:
        run(app.pid, home, Screen(shots))
    finally:
        app.terminate()
        try:
            app.wait(10)
        except subprocess.TimeoutExpired:
            app.kill()
    print()
    if failures:
        print("ui-check: %d failed" % len(failures))
        for failure in failures:
            print("  " + failure)
        return 1
    print("ui-check: every check passed")
    return 0


def run(pid, home, screen):
    print("Window")
    window = screen.window_of(pid)
    if not check(window is not None, "the main window appears"):
        return
    tree = Tree(pid)
    if not check(tree.app is not None, "the window is on the accessibility bus"):
        return
    screen.sync(2)
    extents = screen.property(window, "_NET_FRAME_EXTENTS")
    check(extents in ([], [0, 0, 0, 0]), "no system title bar or frame (frame extents %s)" % extents)
    check(tree.find("push button", "Закрыть окно") is not None, "the window's own close button is named")
    screen.shot("drop", window)

    tab_round(screen, tree, "drop screen")
    screen.shot("drop-focus", window)

    print("From the drop screen to the list")
    check(tab_to(screen, tree, "Перетащить", "radio button"), "Tab reaches the header switch")
    screen.key("Right", pause=1.5)
    check(describe(tree.focused()) == ("Список", "radio button"), "Right selects \"Список\"")
    stops = tab_round(screen, tree, "list screen")
    check(any(role == "list item" for _, role in stops), "the list's current row is a stop")
    check(tab_to(screen, tree, role="list item"), "Tab reaches the list")
    first_row = describe(tree.focused())[0]
    screen.key("Down")
    second_row = describe(tree.focused())[0]
    check(second_row != first_row, "Down moves from %r to %r" % (first_row, second_row))
    screen.key("Up")
    check(describe(tree.focused())[0] == first_row, "Up moves back")
    screen.shot("list-focus", window)

    screen.key("Menu", pause=0.6)
    check(describe(tree.focused()) == ("Показать в файловом менеджере", "menu item"),
          "the menu key opens the row's menu, in Linux words")
    screen.shot("row-menu", window)
    screen.key("Escape", pause=0.5)
    check(describe(tree.focused())[0] == first_row, "Escape closes the menu, back on the row")

    print("The uninstall sheet")
    screen.key("Return", pause=3)
    sheet = tree.find("dialog", first_row)
    if check(sheet is not None, "Return opens the sheet for %r" % first_row):
        screen.shot("sheet", window)
        tab_round(screen, tree, "sheet", within=sheet)
        check(tab_to(screen, tree, role="check box"), "Tab reaches the found files")
        row = tree.focused()
        ticked = row.getState().contains(pyatspi.STATE_CHECKED)
        screen.key("space")
        check(row.getState().contains(pyatspi.STATE_CHECKED) != ticked, "Space flips the tick of %r" % row.name)
        screen.key("space")
        screen.shot("sheet-focus", window)
        screen.key("Escape", pause=1.5)
        check(tree.find("dialog", first_row) is None, "Escape closes the sheet")
        check(describe(tree.focused())[0] == first_row, "the focus is back on the row")

    print("Settings")
    check(tab_to(screen, tree, "Настройки", "push button"), "Tab reaches the gear")
    screen.key("Return", pause=2)
    settings = tree.find("frame", "Настройки")
    if check(settings is not None, "Return opens the settings window"):
        tab_round(screen, tree, "settings", within=settings)
        screen.shot("settings", None)
        screen.key("Escape", pause=1)
        check(tree.find("frame", "Настройки") is None, "Escape closes it")

    print("Idle cost of the drop screen")
    check(tab_to(screen, tree, "Список", "radio button"), "Tab reaches the header switch")
    screen.key("Left", pause=1)
    x, y, w, h = screen.geometry(window)
    screen.move(x + w // 2, y + h // 2, pause=0.2)
    screen.move(x + w // 2 + 20, y + h // 2 + 20, pause=0.2)
    busy_start = cpu_seconds(pid)
    time.sleep(3)
    busy = (cpu_seconds(pid) - busy_start) / 3 * 100
    screen.move(x + w + 200, y + 10)
    time.sleep(7)
    idle_start = cpu_seconds(pid)
    time.sleep(10)
    idle = (cpu_seconds(pid) - idle_start) / 10 * 100
    print("  ring turning: %.1f %% of a core; idle: %.1f %%" % (busy, idle))
    check(idle <= IDLE_CPU_LIMIT, "the idle drop screen costs at most %.0f %% of a core" % IDLE_CPU_LIMIT)
    screen.shot("drop-idle", window)

    print("The window under a window manager")
    # The move comes last of all: here (Xvfb, openbox, XTest) the window
    # manager sometimes goes on moving the window after the button is up,
    # until the next click, which would spoil any check after it.
    x, y, w, h = screen.geometry(window)
    screen.drag((x + w - 2, y + h // 2), (x + w + 78, y + h // 2))
    _, _, nw, _ = screen.geometry(window)
    check(abs(nw - w - 80) <= 3, "dragging the right edge widens the window by 80: %d" % (nw - w))
    x, y, w, h = screen.geometry(window)
    screen.double_click(x + 225, y + 24)
    maximised = screen.property(window, "_NET_WM_STATE")
    check(screen.atom("_NET_WM_STATE_MAXIMIZED_HORZ") in maximised, "a double click on the header zooms")
    screen.shot("zoomed", None)
    x, y, w, h = screen.geometry(window)
    screen.double_click(x + 225, y + 24)
    check(screen.atom("_NET_WM_STATE_MAXIMIZED_HORZ") not in screen.property(window, "_NET_WM_STATE"),
          "a second double click restores it")
    x, y, w, h = screen.geometry(window)
    screen.drag((x + 225, y + 24), (x + 285, y + 64))
    nx, ny, _, _ = screen.geometry(window)
    # The window manager takes the move over once the pointer has gone the
    # drag distance: the window follows from there.
    check(40 <= nx - x <= 62 and 26 <= ny - y <= 42,
          "dragging the header by (60, 40) moves the window with the pointer: (%d, %d)" % (nx - x, ny - y))


if __name__ == "__main__":
    sys.exit(main())
