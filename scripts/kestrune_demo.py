#!/usr/bin/env python3
"""Kestrune at work, played like a user on the X server it is started on (scripts/demo provides a private
Xvfb with openbox): xlogo is locked from the panel, comes back after a relaunch elsewhere, its lock is
copied to the second monitor in the settings window, re-projected when that monitor changes size, and the
placement picker chooses between the two locks.

Every check reads the desktop independently of Kestrune (xwininfo, xprop, xrandr, the preference file) and
prints what it expected and what it measured. Screenshots of the panel, the settings window, the picker's
overlays and the desktop after each step go to the output folder, monitors outlined. Everything started
here is stopped by its process id, on success, failure or interruption alike.
"""

import argparse
import base64
import json
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import uuid
import zlib
from collections import namedtuple

from Xlib import X, display as xdisplay

DISPLAY_NAMESPACE = uuid.UUID("D0BCB309-8C85-4763-B633-6691E3767995")
# Millimetres per pixel of the monitors made here (96 dpi), for xrandr's physical sizes.
MM_PER_PIXEL = 25.4 / 96
WAIT = 10.0  # seconds any one condition may take on a loaded machine
TOLERANCE = 1.0  # pixels

Rect = namedtuple("Rect", "x y width height")


def rect_text(r):
    return "%g,%g %gx%g" % tuple(r)


def near(a, b, tolerance=TOLERANCE):
    return a is not None and b is not None and all(abs(p - q) <= tolerance for p, q in zip(a, b))


def centre(r):
    return (int(r.x + r.width / 2), int(r.y + r.height / 2))


def display_id(monitor_name):
    """A monitor without EDID is known by its name."""
    return str(uuid.uuid5(DISPLAY_NAMESPACE, "monitor:" + monitor_name)).upper()


def projected(lock, display):
    """Where a lock goes on a display of another size: scaled from the display it was captured on, kept on
    the display, and grown outward to whole pixels."""
    cx, cy = lock["capturedDisplayOriginX"], lock["capturedDisplayOriginY"]
    cw, ch = lock["capturedDisplayWidth"], lock["capturedDisplayHeight"]
    w = min(display.width, lock["width"] / cw * display.width)
    h = min(display.height, lock["height"] / ch * display.height)
    x = min(max(display.x + (lock["x"] - cx) / cw * display.width, display.x), display.x + display.width - w)
    y = min(max(display.y + (lock["y"] - cy) / ch * display.height, display.y), display.y + display.height - h)
    left, top = math.floor(x), math.floor(y)
    return Rect(left, top, math.ceil(x + w) - left, math.ceil(y + h) - top)


def shown_path(path):
    """A path as short as it reads clearly: from the current folder when it lies below it."""
    relative = os.path.relpath(path)
    return path if relative.startswith("..") else relative


def lock_frame(lock):
    return Rect(lock["x"], lock["y"], lock["width"], lock["height"])


class Failure(Exception):
    """A step that cannot go on: what went wrong, or what it expected and what it measured instead."""

    def __init__(self, measured, expected=None):
        super().__init__(measured)
        self.measured = measured
        self.expected = expected


def tool(*command, timeout=WAIT):
    """A short-lived X tool's output; empty when it fails."""
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return ""
    return done.stdout if done.returncode == 0 else ""


def wait_for(condition, timeout=WAIT, step=0.05):
    """The condition's first true value within the timeout, else None."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= end:
            return None
        time.sleep(step)


class Processes:
    """The long-lived processes started here, stopped by pid in reverse order."""

    def __init__(self):
        self.started = []

    def start(self, command, **options):
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, **options)
        self.started.append(process)
        return process

    @staticmethod
    def stop(process, grace=2.0):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(grace)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def stop_all(self):
        for process in reversed(self.started):
            self.stop(process)
        self.started = []


class Desktop:
    """The X server as a user and an independent observer meet it."""

    def __init__(self):
        self.x = xdisplay.Display()
        self.root = self.x.screen().root

    # Input, as the user gives it.
    def keys(self, *names):
        tool("xdotool", "key", "--delay", "40", *names)

    def click(self, point):
        tool("xdotool", "mousemove", str(point[0]), str(point[1]), "click", "1")

    # Windows, read from outside.
    @staticmethod
    def search(*criteria):
        return [int(w) for w in tool("xdotool", "search", "--onlyvisible", *criteria).split()]

    def window_named(self, title):
        found = self.search("--name", "^%s$" % re.escape(title))
        return found[0] if found else None

    @staticmethod
    def active_window():
        match = re.search(r"window id # (0x[0-9a-f]+)", tool("xprop", "-root", "_NET_ACTIVE_WINDOW"))
        return int(match.group(1), 16) if match else None

    @staticmethod
    def geometry(window):
        """The window's rectangle on the root, border included; None once it is gone."""
        info = tool("xwininfo", "-id", str(window))
        fields = {}
        for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height", "Border width"):
            match = re.search(r"%s:\s+(-?\d+)" % name, info)
            if not match:
                return None
            fields[name] = int(match.group(1))
        border = fields["Border width"]
        return Rect(fields["Absolute upper-left X"] - border, fields["Absolute upper-left Y"] - border,
                    fields["Width"] + 2 * border, fields["Height"] + 2 * border)

    def outer_frame(self, window):
        """The frame the window manager draws around a client: the client plus _NET_FRAME_EXTENTS."""
        client = self.geometry(window)
        if client is None:
            return None
        match = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", tool("xprop", "-id", str(window),
                                                                          "_NET_FRAME_EXTENTS"))
        left, right, top, bottom = (int(v) for v in match.groups()) if match else (0, 0, 0, 0)
        return Rect(client.x - left, client.y - top, client.width + left + right, client.height + top + bottom)

    def windows_of(self, pid):
        """The viewable windows of a process (override-redirect ones included) and their rectangles."""
        return {w: g for w in self.search("--pid", str(pid)) if (g := self.geometry(w))}

    # Monitors.
    @staticmethod
    def monitors():
        """Monitor name -> rectangle on the root, primary first."""
        found = {}
        for line in tool("xrandr", "--listmonitors").splitlines()[1:]:
            match = re.match(r"\s*\d+: [+*]*(\S+) (\d+)/\d+x(\d+)/\d+\+(-?\d+)\+(-?\d+)", line)
            if match:
                name, w, h, x, y = match.groups()
                found[name] = Rect(int(x), int(y), int(w), int(h))
        return found

    @staticmethod
    def set_monitor(name, rect, output="none", primary=False):
        mm = "%d/%dx%d/%d+%d+%d" % (rect.width, round(rect.width * MM_PER_PIXEL), rect.height,
                                    round(rect.height * MM_PER_PIXEL), rect.x, rect.y)
        tool("xrandr", "--setmonitor", ("*" if primary else "") + name, mm, output)
        if Desktop.monitors().get(name) != rect:
            raise Failure("xrandr could not make monitor %s at %s" % (name, rect_text(rect)))

    @staticmethod
    def resize_monitor(name, rect):
        # X11: the server refuses to replace a monitor in place (BadValue); it goes and comes back at its
        # new size, which a desktop sees as the same monitor re-plugged.
        tool("xrandr", "--delmonitor", name)
        Desktop.set_monitor(name, rect)

    # Pictures.
    def pixels(self, rect=None):
        """Width, height and 8-bit RGB of what the screen shows in a rectangle of the root, or in all of it.
        (Read straight from the root: xwd recomposes screens of several visuals and may leave windows
        black.)"""
        info = self.x.display.info
        screen = info.roots[self.x.get_default_screen()]
        r = clip(rect, screen.width_in_pixels, screen.height_in_pixels)
        data = self.root.get_image(r.x, r.y, r.width, r.height, X.ZPixmap, 0xFFFFFFFF).data
        pixmap = next(f for f in info.pixmap_formats if f.depth == screen.root_depth)
        size = pixmap.bits_per_pixel // 8
        stride = -(-r.width * pixmap.bits_per_pixel // pixmap.scanline_pad) * pixmap.scanline_pad // 8
        visual = next(v for d in screen.allowed_depths for v in d.visuals if v.visual_id == screen.root_visual)
        if visual.visual_class not in (X.TrueColor, X.DirectColor) or size < 3:
            raise Failure("the screen is not true colour")
        packed = data if stride == r.width * size else b"".join(
            data[y * stride:y * stride + r.width * size] for y in range(r.height))
        rgb = bytearray(r.width * r.height * 3)
        for channel, mask in enumerate((visual.red_mask, visual.green_mask, visual.blue_mask)):
            byte = ((mask & -mask).bit_length() - 1) // 8
            if info.image_byte_order == X.MSBFirst:
                byte = size - 1 - byte
            rgb[channel::3] = packed[byte::size]
        return r.width, r.height, rgb

    def drawn(self, window, before):
        """Whether the window shows contents of its own: neither one flat colour nor what the screen showed
        there before it appeared (X leaves either until the client paints)."""
        frame = self.geometry(window)
        if frame is None:
            return False
        now = self.pixels(frame)[2]
        colours = {bytes(now[i:i + 3]) for i in range(0, len(now), 3 * 97)}
        return len(colours) > 1 and now != crop(before, frame)

    def screenshot(self, path):
        """The whole screen as a PNG, each monitor outlined."""
        width, height, rgb = self.pixels()
        for r in self.monitors().values():
            outline(rgb, width, height, r, (255, 200, 0))
        write_png(path, width, height, rgb)


def clip(rect, width, height):
    """The part of a rectangle on a screen of this size; all of the screen for none."""
    if rect is None:
        return Rect(0, 0, width, height)
    left, top = max(0, rect.x), max(0, rect.y)
    right, bottom = min(width, rect.x + rect.width), min(height, rect.y + rect.height)
    return Rect(left, top, max(0, right - left), max(0, bottom - top))


def crop(picture, rect):
    """The RGB pixels of a rectangle of a (width, height, rgb) picture of the whole screen."""
    width, height, rgb = picture
    r = clip(rect, width, height)
    rows = (((r.y + y) * width + r.x) * 3 for y in range(r.height))
    return b"".join(rgb[start:start + r.width * 3] for start in rows)


def outline(rgb, width, height, rect, colour, thickness=2):
    left, top, w, h = clip(rect, width, height)
    right, bottom = left + w, top + h
    pixel = bytes(colour)
    for y in range(top, bottom):
        edge = y < top + thickness or y >= bottom - thickness
        spans = [(left, right)] if edge else [(left, left + thickness), (right - thickness, right)]
        for a, b in spans:
            rgb[(y * width + a) * 3:(y * width + b) * 3] = pixel * (b - a)


def write_png(path, width, height, rgb):
    stride = width * 3
    raw = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


class Kestrune:
    """build/kestrune with a configuration and runtime folder of its own."""

    def __init__(self, binary, processes, log):
        self.binary = binary
        self.processes = processes
        self.home = tempfile.mkdtemp(prefix="kestrune-demo-")
        self.runtime = os.path.join(self.home, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.preferences = os.path.join(self.home, "config", "kestrune", "preferences.json")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.home, "config"), XDG_RUNTIME_DIR=self.runtime)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.log = log
        self.process = None

    def start(self):
        # A session bus of its own, as every desktop session has: without one, D-Bus would start one for it
        # that outlives the demo.
        bus = self.processes.start(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                                   stdout=subprocess.PIPE, stderr=self.log, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            raise Failure("dbus-daemon did not start (see %s)" % self.log.name)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.process = self.processes.start([self.binary], env=self.env, stdout=self.log, stderr=self.log)
        socket = os.path.join(self.runtime, "kestrune.socket")
        if not wait_for(lambda: os.path.exists(socket) or self.process.poll() is not None) or \
                self.process.poll() is not None:
            raise Failure("kestrune did not start (see %s)" % self.log.name)

    def launch_again(self):
        """A second launch, which asks the running one for its settings and exits; its exit status."""
        second = self.processes.start([self.binary], env=self.env, stdout=self.log, stderr=self.log)
        try:
            return second.wait(WAIT)
        except subprocess.TimeoutExpired:
            return None

    def locks(self):
        try:
            with open(self.preferences) as f:
                stored = json.load(f)
            return json.loads(base64.b64decode(stored["Kestrune.rules"]["data"]))
        except (OSError, ValueError, KeyError, TypeError):
            return []

    def remove_home(self):
        shutil.rmtree(self.home, ignore_errors=True)


class Demo:
    LEFT = Rect(0, 0, 1024, 768)
    RIGHT = Rect(1024, 0, 1024, 768)
    RIGHT_RESIZED = Rect(1024, 0, 800, 600)

    def __init__(self, binary, out):
        self.out = out
        self.processes = Processes()
        self.desktop = Desktop()
        self.log = open(os.path.join(out, "kestrune.log"), "w")
        self.kestrune = Kestrune(binary, self.processes, self.log)
        self.xlogo = None  # (process, window)
        self.pictures = []

    # Helpers of the steps.
    def picture(self, name):
        path = os.path.join(self.out, name + ".png")
        self.desktop.screenshot(path)
        self.pictures.append(path)

    def picture_of(self, windows, name, before):
        """The desktop once the windows show their contents; before is the screen before they appeared."""
        for window in windows:
            if not wait_for(lambda: self.desktop.drawn(window, before)):
                raise Failure("window 0x%x was not drawn" % window)
        self.picture(name)

    def names(self):
        return {display_id(name): name for name in self.desktop.monitors()}

    def start_xlogo(self, geometry):
        process = self.processes.start(["xlogo", "-geometry", geometry], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        window = wait_for(lambda: next(iter(self.desktop.search("--class", "^XLogo$")), None))
        if not window:
            raise Failure("xlogo did not show a window")
        self.xlogo = (process, window)
        return window

    def quit_xlogo(self):
        """Focuses xlogo with a click and closes it with Alt+F4, as a user would."""
        process, window = self.xlogo
        self.desktop.click(centre(self.desktop.outer_frame(window)))
        if not wait_for(lambda: self.desktop.active_window() == window):
            raise Failure("xlogo did not take the focus when clicked")
        self.desktop.keys("alt+F4")
        try:
            process.wait(WAIT)
        except subprocess.TimeoutExpired:
            raise Failure("xlogo did not quit on Alt+F4")
        # Gone from the screen too, so that the next one is not mistaken for it (X may give it the same id).
        if not wait_for(lambda: not self.desktop.search("--class", "^XLogo$")):
            raise Failure("xlogo's window stayed after it quit")
        self.xlogo = None

    def xlogo_frame(self):
        return self.desktop.outer_frame(self.xlogo[1])

    def wait_for_frame(self, expected):
        """xlogo's frame once it is the expected one, else its frame when the wait ran out."""
        return wait_for(lambda: (f := self.xlogo_frame()) and near(f, expected) and f) or self.xlogo_frame()

    def overlays(self):
        """Kestrune's windows that bypass the window manager, and their rectangles: the picker's panels."""
        return {w: g for w, g in self.desktop.windows_of(self.kestrune.process.pid).items()
                if "Override Redirect State: yes" in tool("xwininfo", "-id", str(w))}

    def open_panel(self):
        """Ctrl+Alt+L, until the panel answers: the hot key is grabbed once Kestrune's event loop runs. Each
        press waits for its answer, longer each time, since a second press would close the panel again."""
        for patience in (2, 3, 5, 8):
            self.desktop.keys("ctrl+alt+l")
            panel = wait_for(lambda: self.desktop.window_named("Kestrune"), timeout=patience)
            if panel:
                return panel
        raise Failure("Ctrl+Alt+L did not open the panel")

    def picker_panels(self, places, before, name):
        """The placement picker's panels, once one stands at each place and all are drawn; photographed."""
        seen = {"panels": {}}  # the last ones shown: they go by themselves after a while

        def at_places():
            panels = self.overlays()
            seen["panels"] = panels or seen["panels"]
            return panels and all(any(near(g, p) for g in panels.values()) for p in places) and panels

        shown = wait_for(at_places)
        if not shown:
            raise Failure("picker panels at %s" % (" and ".join(map(rect_text, seen["panels"].values())) or "none"),
                          "picker panels at %s" % " and ".join(map(rect_text, places)))
        self.picture_of(shown, name, before)
        return shown

    # The steps: each returns (expected, measured, passed).
    def lock_from_panel(self):
        window = self.start_xlogo("300x220+200+150")
        frame = self.desktop.outer_frame(window)
        self.desktop.click(centre(frame))
        if not wait_for(lambda: self.desktop.active_window() == window):
            raise Failure("xlogo did not take the focus when clicked")
        before = self.desktop.pixels()
        self.picture_of([self.open_panel()], "popover", before)
        before = self.desktop.pixels()
        self.desktop.keys("Return")
        locks = wait_for(lambda: [lock for lock in self.kestrune.locks() if lock["bundleID"] == "XLogo"])
        self.desktop.keys("Escape")
        if not wait_for(lambda: not self.desktop.window_named("Kestrune")):
            raise Failure("Escape did not close the panel")
        self.picture_of([window], "1-locked", before)
        expected = "XLogo at %s on LEFT" % rect_text(frame)
        if not locks:
            return expected, "no lock stored", False
        lock = locks[0]
        measured = "XLogo at %s on %s" % (rect_text(lock_frame(lock)),
                                          self.names().get(lock["requiredDisplayID"], "another display"))
        return expected, measured, near(lock_frame(lock), frame) and lock["requiredDisplayID"] == display_id("LEFT")

    def comes_back(self):
        lock = lock_frame(self.kestrune.locks()[0])
        self.quit_xlogo()
        before = self.desktop.pixels()
        window = self.start_xlogo("200x160+1400+420")
        frame = self.wait_for_frame(lock)
        self.picture_of([window], "2-relaunched", before)
        return "xlogo back at its lock, %s" % rect_text(lock), "xlogo at %s" % rect_text(frame), near(frame, lock)

    def copy_to_right(self):
        before = self.desktop.pixels()
        status = self.kestrune.launch_again()
        if status != 0:
            raise Failure("a second launch of kestrune ended with %s instead of 0" % status)
        settings = wait_for(lambda: self.desktop.window_named("Kestrune Settings"))
        if not settings:
            raise Failure("the settings window did not open")
        tool("xdotool", "windowactivate", "--sync", str(settings))
        wait_for(lambda: self.desktop.active_window() == settings)
        self.picture_of([settings], "settings", before)
        # From the form back to its last control: RIGHT's "Import from…", the only one (LEFT has no
        # other monitor's locks to take).
        before = self.desktop.pixels()
        known = set(self.desktop.windows_of(self.kestrune.process.pid))
        self.desktop.keys("shift+Tab", "space")
        menu = wait_for(lambda: set(self.desktop.windows_of(self.kestrune.process.pid)) - known)
        if not menu:
            raise Failure("\"Import from…\" did not open its menu")
        self.picture_of(menu, "settings-import-menu", before)
        before = self.desktop.pixels()
        self.desktop.keys("Down", "Return")
        confirmation = wait_for(lambda: self.desktop.window_named("Import locks"))
        if not confirmation:
            raise Failure("the import was not offered for confirmation")
        self.picture_of([confirmation], "settings-import-confirm", before)
        before = self.desktop.pixels()
        self.desktop.keys("Return")
        locks = wait_for(lambda: (locks := self.kestrune.locks()) and len(locks) == 2 and locks) or \
            self.kestrune.locks()
        self.picture_of([settings], "settings-imported", before)
        before = self.desktop.pixels()
        self.desktop.keys("alt+F4")
        if not wait_for(lambda: not self.desktop.window_named("Kestrune Settings")):
            raise Failure("Alt+F4 did not close the settings window")
        self.picture_of([self.xlogo[1]], "3-copied", before)
        first = lock_frame(locks[0])
        expected = "XLogo on LEFT and on RIGHT, both at %s as captured on LEFT" % rect_text(first)
        names = self.names()
        measured = ", ".join("%s on %s at %s" % (lock["bundleID"], names.get(lock["requiredDisplayID"], "?"),
                                                rect_text(lock_frame(lock))) for lock in locks)
        passed = [lock["requiredDisplayID"] for lock in locks] == [display_id("LEFT"), display_id("RIGHT")] and \
            all(lock_frame(lock) == first and lock["bundleID"] == "XLogo" for lock in locks)
        return expected, measured, passed

    def reprojected(self):
        left_lock, right_lock = self.kestrune.locks()
        self.quit_xlogo()
        self.desktop.resize_monitor("RIGHT", self.RIGHT_RESIZED)
        target = projected(right_lock, self.RIGHT_RESIZED)
        before = self.desktop.pixels()
        window = self.start_xlogo("160x120+420+480")
        # With a lock on each monitor the picker asks; its panel 2 stands where RIGHT's lock goes now.
        self.picker_panels([lock_frame(left_lock), target], before, "picker-resized")
        before = self.desktop.pixels()
        self.desktop.click(centre(target))
        frame = self.wait_for_frame(target)
        self.picture_of([window], "4-reprojected", before)
        expected = "xlogo at %s (RIGHT's lock scaled from 1024x768 to %dx%d)" % (
            rect_text(target), self.RIGHT_RESIZED.width, self.RIGHT_RESIZED.height)
        return expected, "xlogo at %s" % rect_text(frame), near(frame, target)

    def picker(self):
        left_lock, right_lock = self.kestrune.locks()
        places = [lock_frame(left_lock), projected(right_lock, self.desktop.monitors()["RIGHT"])]
        self.quit_xlogo()
        before = self.desktop.pixels()
        window = self.start_xlogo("200x160+1300+400")
        shown = self.picker_panels(places, before, "picker")
        before = self.desktop.pixels()
        self.desktop.keys("1")
        frame = self.wait_for_frame(places[0])
        gone = wait_for(lambda: not self.overlays())
        self.picture_of([window], "5-picked", before)
        expected = "panels 1 at %s and 2 at %s; key 1 puts xlogo at %s, panels gone" % (
            rect_text(places[0]), rect_text(places[1]), rect_text(places[0]))
        measured = "panels at %s; xlogo at %s, panels %s" % (
            " and ".join(map(rect_text, shown.values())), rect_text(frame), "gone" if gone else "still shown")
        return expected, measured, len(shown) == 2 and near(frame, places[0]) and bool(gone)

    def steps(self):
        return [
            ("lock", "lock xlogo from the panel: click it on LEFT, Ctrl+Alt+L, Return", self.lock_from_panel),
            ("comes back", "quit xlogo (Alt+F4) and start it on RIGHT: it goes back to its lock",
             self.comes_back),
            ("copy", "settings (second launch): RIGHT's \"Import from…\", Down, Return, confirm",
             self.copy_to_right),
            ("re-projection", "RIGHT becomes 800x600; relaunch xlogo; click panel 2 of the picker",
             self.reprojected),
            ("picker", "relaunch xlogo with a lock on each monitor; the picker shows 1 and 2; press 1",
             self.picker),
        ]

    def set_up(self):
        """The two monitors and Kestrune; answers like a step."""
        self.desktop.set_monitor("LEFT", self.LEFT, output="screen", primary=True)
        self.desktop.set_monitor("RIGHT", self.RIGHT)
        tool("xsetroot", "-solid", "#2e3440")
        self.kestrune.start()
        return None, "ready", True

    @staticmethod
    def play(step):
        """Runs one step: (expected, measured, passed); expected is None when the step could not go on."""
        try:
            return step()
        except Failure as failure:
            return failure.expected, failure.measured, False
        except Exception as error:  # whatever goes wrong, the step fails and the cleanup runs
            return None, "%s: %s" % (type(error).__name__, error), False

    def run(self):
        began = time.monotonic()
        steps = self.steps()
        passed = 0
        try:
            print("demo: two monitors, LEFT %s and RIGHT %s; kestrune with an empty configuration" %
                  (rect_text(self.LEFT), rect_text(self.RIGHT)), flush=True)
            _, measured, ready = self.play(self.set_up)
            if not ready:
                print("FAIL set-up: %s" % measured, flush=True)
            for number, (name, action, step) in enumerate(steps if ready else [], 1):
                print("[%d/%d] %s ..." % (number, len(steps), action), flush=True)
                started, pictures = time.monotonic(), len(self.pictures)
                expected, measured, ok = self.play(step)
                if not ok:
                    self.play(lambda: self.picture("failure"))
                print("%s %s (%.1f s): %s" % (
                    "PASS" if ok else "FAIL", name, time.monotonic() - started,
                    measured if expected is None else "expected %s, measured %s" % (expected, measured)), flush=True)
                if self.pictures[pictures:]:
                    print("      pictures: %s" % " ".join(map(shown_path, self.pictures[pictures:])),
                          flush=True)
                if not ok:
                    break
                passed += 1
        finally:
            self.processes.stop_all()
            self.log.close()
            self.kestrune.remove_home()
        print("demo: %d of %d steps passed in %.1f s" % (passed, len(steps), time.monotonic() - began), flush=True)
        if passed < len(steps):
            print("demo: kestrune's output is in %s" % shown_path(self.log.name), flush=True)
            return 1
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kestrune", required=True, help="the kestrune executable")
    parser.add_argument("--out", required=True, help="folder for the pictures and kestrune's output")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for old in os.listdir(args.out):
        if old.endswith(".png"):
            os.remove(os.path.join(args.out, old))
    # Terminated from outside: unwind like an interruption, so that everything started is stopped.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    try:
        return Demo(os.path.abspath(args.kestrune), args.out).run()
    except KeyboardInterrupt:
        print("demo: interrupted; everything it started is stopped", flush=True)
        return 130


if __name__ == "__main__":
    sys.exit(main())
