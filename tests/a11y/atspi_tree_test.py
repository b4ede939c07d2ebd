#!/usr/bin/env python3
"""Reads the real window as a screen reader does: under a virtual X server and a private session
bus, through AT-SPI. Every control of the main window and of the session log must be there with
its role and name; the page tabs are page tabs, the fields are named by their labels, and the
lamp's name follows the port.

  atspi_tree_test.py --app PATH/esp8266wifi --sim PATH/esp8266-sim

Run as it stands, it starts a virtual X server and itself again under dbus-run-session. It exits 77 (a
skip) only when that bus cannot be started; everything else that goes wrong is a failure.
"""
import argparse
import ctypes
import ctypes.util
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TIMEOUT = 20.0  # seconds any one awaited state may take on a loaded machine


def start_display():
    """A virtual X server on a display number it picks itself, so parallel runs never collide."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1024x768x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + TIMEOUT
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        if select.select([read_end], [], [], 0.2)[0]:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip():
        server.kill()
        server.wait()
        return None, None
    return server, ":" + number.decode().strip()


def outer(args):
    for tool in ("Xvfb", "dbus-run-session"):
        if not shutil.which(tool):
            print(f"FAIL: {tool} is missing (scripts/setup installs it)")
            return 1
    server, display = start_display()
    if not server:
        print("FAIL: the virtual X server did not start")
        return 1
    try:
        with tempfile.TemporaryDirectory() as work:
            marker = os.path.join(work, "inner-started")
            command = ["dbus-run-session", "--",
                       sys.executable, os.path.abspath(__file__), "--inner", marker,
                       "--app", args.app, "--sim", args.sim]
            result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    text=True, env=dict(os.environ, DISPLAY=display))
            output = "\n".join(line for line in result.stdout.splitlines()
                               if "Failed to set fd limit" not in line)
            print(output)
            if not os.path.exists(marker):
                print("SKIP: a private session bus could not be started")
                return SKIP
            return result.returncode
    finally:
        server.terminate()
        server.wait()


def inner(args):
    open(args.inner, "w").close()
    work = tempfile.mkdtemp(prefix="esp8266wifi-a11y-")
    # Only the simulator's alias is a port: no device of this machine is looked at or opened.
    env = dict(os.environ,
               ESP8266WIFI_PORTS=os.path.join(work, "ports"),
               ESP8266WIFI_ALIASES_ONLY="1",
               XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_RUNTIME_DIR=work,
               QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    os.makedirs(env["ESP8266WIFI_PORTS"])
    sim = subprocess.Popen([args.sim, "--com", "1"], env=env, stdout=subprocess.PIPE, text=True)
    app = None
    try:
        line = sim.stdout.readline()
        if not line.startswith("COM1 -> "):
            print(f"FAIL: the simulated module did not start ({line!r})")
            return 1
        app = subprocess.Popen([args.app, "--port", "COM1"], env=env)
        import pyatspi  # here: it joins the bus this process was started on
        return Checks(pyatspi, app).run()
    finally:
        for process in (app, sim):
            if process:
                process.terminate()
                process.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


def wait_for(what, probe):
    """Polls probe until it returns something true; the tree is built and changed while we look.
    Between polls the bus's events are delivered."""
    from gi.repository import GLib
    context = GLib.MainContext.default()
    deadline = time.monotonic() + TIMEOUT
    while True:
        try:
            value = probe()
        except Exception:  # an object went away between two calls: look again
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        pause = time.monotonic() + 0.05
        while time.monotonic() < pause:
            if not context.iteration(False):
                time.sleep(0.005)


def focus_x_window(title):
    """Gives the keyboard focus to the top-level X window titled title, as a window manager
    would; there is none on the virtual server."""
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                             ctypes.POINTER(ctypes.c_uint)]
    x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
    x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    root, parent, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
    windows = ctypes.POINTER(ctypes.c_ulong)()
    x.XQueryTree(display, x.XDefaultRootWindow(display), ctypes.byref(root),
                 ctypes.byref(parent), ctypes.byref(windows), ctypes.byref(count))
    found = False
    for i in range(count.value):
        name = ctypes.c_char_p()
        if x.XFetchName(display, windows[i], ctypes.byref(name)) and name.value == title.encode():
            x.XSetInputFocus(display, windows[i], 1, 0)  # RevertToPointerRoot, CurrentTime
            found = True
    x.XFlush(display)
    x.XCloseDisplay(display)
    return found


class Checks:
    # Roles that group controls: they need no name of their own.
    CONTAINERS = {"frame", "panel", "filler", "page tab list", "separator", "status bar"}

    def __init__(self, atspi, app):
        self.atspi = atspi
        self.app = app
        self.failures = []

    def role(self, node):
        return node.getRoleName()

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)

    def application(self):
        desktop = self.atspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            node = desktop.getChildAtIndex(i)
            if node is not None and node.get_process_id() == self.app.pid:
                return node
        return None

    def frame(self, name):
        application = self.application()
        for i in range(application.childCount if application else 0):
            node = application.getChildAtIndex(i)
            if node is not None and node.name == name and self.role(node) == "frame":
                return node
        return None

    def walk(self, node, parent_role=None):
        """Every node below node, with its role and the role of its parent."""
        found = []
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            self.expect(child is not None, f"child {i} of {node.name!r} cannot be reached")
            if child is None:
                continue
            found.append((child, self.role(child), parent_role))
            found += self.walk(child, found[-1][1])
        return found

    def tree(self, frame):
        nodes = self.walk(frame)
        for node, role, parent_role in nodes:
            # A status panel or line says what it has to say, which may be nothing yet.
            if role in self.CONTAINERS or parent_role == "status bar":
                continue
            if role == "label" and not node.name:
                continue
            self.expect(node.name.strip(), f"a {role} in {frame.name!r} has no name")
        return nodes

    def named(self, nodes, role, name):
        return [node for node, r, _ in nodes if r == role and node.name == name]

    def expect_controls(self, nodes, expected, where):
        for role, name, count in expected:
            have = len(self.named(nodes, role, name))
            self.expect(have == count, f"{where}: {count} x {role} {name!r} expected, {have} found")

    def press(self, node):
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        index = next((i for i, n in enumerate(names) if n.lower() == "press"), None)
        assert index is not None, f"{node.name!r} offers no press action, only {names}"
        action.doAction(index)

    def showing(self, node):
        return node.getState().contains(self.atspi.STATE_SHOWING)

    def run(self):
        try:
            self.main_window()
            self.session_log()
            self.close_windows()
        except Exception as error:
            self.failures.append(f"{type(error).__name__}: {error}")
        for failure in self.failures:
            print("FAIL:", failure)
        if not self.failures:
            print("PASS: the AT-SPI tree names every control of both windows with its role")
        return 1 if self.failures else 0

    def main_window(self):
        caption = "ESP_8266WIFI----------Quillmesh"
        frame = wait_for("the main window on the bus", lambda: self.frame(caption))
        nodes = wait_for("the main window's controls",
                         lambda: (lambda n: n if len(n) > 100 else None)(self.walk(frame)))
        nodes = self.tree(frame)
        b, c, t, l = "push button", "combo box", "text", "list"
        self.expect_controls(nodes, [
            (b, "Open", 1), (b, "Clear", 2), (b, "Send", 1), (b, "Exit", 1),
            (b, "Configuration mode", 1), (b, "Close", 1), (b, "Window menu", 1),
            # combo boxes by their labels, and so their lists and edit fields
            (c, "Port number:", 1), (c, "Baud rate:", 1), (c, "Parity:", 1),
            (c, "ATcommand list:", 1), (c, "Parameter list:", 1),
            (l, "Baud rate:", 1), (t, "ATcommand list:", 1),
            # the edits by the labels beside them
            (t, "SSID:", 2), (t, "PWD:", 2), (t, "User parameter:", 1), (t, "Server   IP:", 1),
            (t, "Server Port:", 1), (t, "Prompt function", 1),
            (l, "Receive：", 1), (l, "Send：", 1),
            ("status bar", "Closed " + self.status_time(nodes), 1),
            ("link", "www.quillmesh.example", 1),
            ("popup menu", "Window menu", 1),
        ], "main window")
        baud = self.named(nodes, l, "Baud rate:")
        if baud:
            items = [baud[0].getChildAtIndex(i) for i in range(baud[0].childCount)]
            chosen = [i.name for i in items if i.getState().contains(self.atspi.STATE_SELECTED)]
            self.expect(len(items) == 8 and chosen == ["115200"],
                        f"the baud rate list holds {len(items)} items, chosen {chosen}")

        strips = [n for n, r, _ in nodes if r == "page tab list"]
        self.expect(len(strips) == 1, f"one page tab list expected, {len(strips)} found")
        tabs = [n for n, r, p in nodes if r == "page tab" and p == "page tab list"]
        self.expect([t.name for t in tabs] ==
                    ["Parameter configuration", "Connection configuration", "Contact us"],
                    f"page tabs {[t.name for t in tabs]}")
        selected = [t.name for t in tabs if t.getState().contains(self.atspi.STATE_SELECTED)]
        self.expect(selected == ["Connection configuration"], f"selected tabs {selected}")

        # The lamp says what state the port is in, and follows it.
        lamps = [n for n, r, _ in nodes if r == "image"]
        shown = [n.name for n in lamps if self.showing(n)]
        self.expect(shown == ["Port closed"], f"the lamp shows {shown} before Open")
        self.press(self.named(nodes, b, "Open")[0])
        wait_for("the lamp to read \"Port open\"",
                 lambda: [n.name for n in lamps if self.showing(n)] == ["Port open"])
        wait_for("the Open button to read \"Close\"",
                 lambda: self.named(self.walk(frame), b, "Close"))

        # Focus moving onto the tab strip and from tab to tab is told as the tab taking it;
        # pressing a tab selects it as a click does.
        focused = []
        self.atspi.Registry.registerEventListener(
            lambda e: e.detail1 and focused.append((self.role(e.source), e.source.name)),
            "object:state-changed:focused")
        self.expect(focus_x_window(caption), "the main window has no X window to focus")
        strip = strips[0]
        action = strip.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        self.expect("SetFocus" in names, f"the page tab list cannot take the focus ({names})")
        action.doAction(names.index("SetFocus"))
        wait_for("the selected tab to be told as focused",
                 lambda: focused and focused[-1] == ("page tab", "Connection configuration"))
        self.press(tabs[0])
        wait_for("the first page tab to be selected",
                 lambda: tabs[0].getState().contains(self.atspi.STATE_SELECTED))
        wait_for("the first page tab to be told as focused",
                 lambda: focused[-1] == ("page tab", "Parameter configuration"))

        self.menu = self.named(nodes, "popup menu", "Window menu")
        self.closers = self.title_close(nodes, frame)

    def status_time(self, nodes):
        bars = [n for n, r, _ in nodes if r == "status bar"]
        return bars[0].getChildAtIndex(2).name if bars and bars[0].childCount == 3 else "?"

    def session_log(self):
        assert self.menu, "no window menu to open the session log from"
        menu = self.menu[0]
        entry = next((menu.getChildAtIndex(i) for i in range(menu.childCount)
                      if menu.getChildAtIndex(i).name.startswith("Session log")), None)
        assert entry is not None, "the window menu has no \"Session log\" item"
        self.press(entry)
        frame = wait_for("the session log window", lambda: self.frame("Session log"))
        nodes = wait_for("the session log's controls",
                         lambda: (lambda n: n if len(n) > 10 else None)(self.walk(frame)))
        nodes = self.tree(frame)
        roles = [r for _, r, _ in nodes]
        # The command line is an edit field; the line ending is the one combo box.
        for role, least in (("page tab", 2), ("push button", 4), ("combo box", 1),
                            ("list", 2), ("scroll bar", 2), ("text", 1)):
            self.expect(roles.count(role) >= least,
                        f"session log: {least} x {role} expected, {roles.count(role)} found")
        self.closers = self.title_close(nodes, frame) + self.closers
        bars = [n for n, r, _ in nodes if r == "scroll bar"]
        for bar in bars:
            value = bar.queryValue()
            self.expect(value.minimumValue <= value.currentValue <= value.maximumValue,
                        f"scroll bar {bar.name!r} value {value.currentValue} outside its range")


    def title_close(self, nodes, frame):
        """The Close button of frame's title bar (the pane named as the window)."""
        return [n for n in self.named(nodes, "push button", "Close")
                if n.parent.name == frame.name][:1]

    def close_windows(self):
        """The title bars' Close buttons end the program, cleanly, with every interface made."""
        for close in self.closers:
            self.press(close)
        wait_for("the program to end", lambda: self.app.poll() is not None)
        self.expect(self.app.returncode == 0, f"the program ended with {self.app.returncode}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--inner")
    args = parser.parse_args()
    return inner(args) if args.inner else outer(args)


if __name__ == "__main__":
    sys.exit(main())
