#!/usr/bin/env python3
"""Windows opening in place on Plasma Wayland: build/kestrune on a private headless KWin
(scripts/with-kwin-session, which bench/run-bench provides), each locked app launched N times.

KWin reports what it shows through the tests' probe script (tests/kwin/probe.js), here printing to KWin's
log instead of calling the tests' service: every frame a window is seen with from the moment it is first
shown (frames at opacity 0 are out of sight). A launch is perfect when its first frame is the locked one
and no other frame follows.
"""

import argparse
import base64
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import uuid

DISPLAY_NAMESPACE = uuid.UUID("D0BCB309-8C85-4763-B633-6691E3767995")
SETTLE = 0.5  # seconds a window is watched for a late frame


def dbus_kwin(path, method, *args):
    return subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin", path, method]
                          + ["string:" + a for a in args], capture_output=True, text=True).stdout


def outputs(build):
    lines = subprocess.run([os.path.join(build, "tests", "kwin", "kestrune_waylandclient"), "--screens"],
                           capture_output=True, text=True, timeout=10).stdout.split("\n")
    return [(str(uuid.uuid5(DISPLAY_NAMESPACE, "monitor:" + f[0])).upper(), [int(v) for v in f[1:5]])
            for f in (line.split() for line in lines) if len(f) == 5]


class Log:
    """The probe's reports, read from KWin's log as they come."""

    def __init__(self, path):
        self.file = open(path)
        self.file.seek(0, os.SEEK_END)
        self.windows = {}  # id -> {"class", "frames"}

    def read(self):
        for line in self.file.readlines():
            if "kestrune-probe " not in line:
                continue
            event, wid, cls, _caption, frame = json.loads(line.split("kestrune-probe ", 1)[1])
            w = self.windows.setdefault(wid, {"class": cls, "frames": [], "added": False})
            x, y, width, height, opacity = (float(v) for v in frame.split(","))
            if event in ("added", "frame"):
                w["added"] = True
                shown = (x, y, width, height)
                if opacity > 0 and (not w["frames"] or w["frames"][-1] != shown):
                    w["frames"].append(shown)

    def wait_new(self, cls, known, timeout=10):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.read()
            for wid, w in self.windows.items():
                if wid not in known and w["added"] and w["class"].lower() == cls.lower():
                    return wid
            time.sleep(0.01)
        return None


def launches(log, command, cls, locked, runs):
    results = []
    for _ in range(runs):
        known = set(log.windows)
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wid = log.wait_new(cls, known)
        time.sleep(SETTLE)
        log.read()
        frames = log.windows[wid]["frames"] if wid else []
        results.append({"first_in_place": bool(frames) and frames[0] == locked,
                        "changes_after_first": max(0, len(frames) - 1)})
        process.terminate()
        process.wait(5)
    changes = [r["changes_after_first"] for r in results]
    perfect = sum(1 for r in results if r["first_in_place"] and r["changes_after_first"] == 0)
    return {"runs": runs, "first_frame_locked": sum(r["first_in_place"] for r in results),
            "changes_median": statistics.median(changes), "changes_max": max(changes),
            "perfect_percent": 100.0 * perfect / runs, "changes": changes}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    runs = int(os.environ.get("KESTRUNE_BENCH_RUNS", "30"))
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    second = outputs(args.build)[1]
    x = second[1][0]
    apps = [  # name, command, KWin's class, bundle identifier, locked frame
        ("weston-flower (Wayland)", ["weston-flower"], "org.freedesktop.weston.flower",
         "org.freedesktop.weston.flower", (x + 380, 180, 200, 200)),
        ("Qt window (Wayland)", [os.path.join(args.build, "tests", "kwin", "kestrune_waylandclient"),
                                 "org.kestrune.TestClient"], "org.kestrune.TestClient", "org.kestrune.TestClient",
         (x + 280, 140, 520, 380)),
        ("xlogo (Xwayland)", ["xlogo"], "xlogo", "XLogo", (x + 490, 260, 360, 280)),
    ]
    home = tempfile.mkdtemp(prefix="kestrune-kwin-bench-")
    rules = [{"id": str(uuid.uuid4()).upper(), "bundleID": bundle, "appName": bundle,
              "x": f[0], "y": f[1], "width": f[2], "height": f[3], "requiredDisplayID": second[0],
              "isEnabled": True, "cascadeWindows": True} for _, _, _, bundle, f in apps]
    os.makedirs(os.path.join(home, "kestrune"))
    with open(os.path.join(home, "kestrune", "preferences.json"), "w") as out:
        json.dump({"Kestrune.rules": {"data": base64.b64encode(json.dumps(rules).encode()).decode()}}, out)

    # The tests' probe, printing what it would report to the tests' service.
    probe = os.path.join(home, "probe.js")
    with open(probe, "w") as out:
        out.write('function callDBus() { print("kestrune-probe " + '
                  'JSON.stringify(Array.prototype.slice.call(arguments, 4))); }\n')
        out.write(open(os.path.join(root, "tests", "kwin", "probe.js")).read())
    log = Log(args.log)
    dbus_kwin("/Scripting", "org.kde.kwin.Scripting.loadScript", probe, "kestrune-bench-probe")
    dbus_kwin("/Scripting", "org.kde.kwin.Scripting.start")

    env = dict(os.environ, XDG_CONFIG_HOME=home)
    env.pop("QT_QPA_PLATFORM", None)
    app = subprocess.Popen([os.path.join(args.build, "kestrune")], env=env, stdout=subprocess.DEVNULL)
    end = time.monotonic() + 10
    while "true" not in dbus_kwin("/Scripting", "org.kde.kwin.Scripting.isScriptLoaded", "kestrune"):
        if time.monotonic() > end:
            sys.exit("kwin_bench: Kestrune loaded no script into KWin within 10 s")
        time.sleep(0.05)
    time.sleep(1.0)  # its placements reach the script

    results = {}
    for name, command, cls, _, frame in apps:
        results[name] = launches(log, command, cls, frame, runs)
    app.terminate()
    app.wait(5)

    print("\nPlasma Wayland (KWin %s), %d launches of each locked app" % (
        subprocess.run(["dpkg-query", "-W", "-f=${Version}", "kwin-wayland"], capture_output=True,
                       text=True).stdout or "?", runs))
    width = max(len(n) for n in results)
    print("%-*s  %14s  %20s  %14s" % (width, "app", "first frame at", "changes after first", "launches with"))
    print("%-*s  %14s  %20s  %14s" % (width, "", "the lock", "frame (median/max)", "none (%)"))
    print("-" * (width + 56))
    for name, r in results.items():
        print("%-*s  %8d of %2d  %13s / %-4d  %14.1f" % (width, name, r["first_frame_locked"], r["runs"],
                                                          r["changes_median"], r["changes_max"],
                                                          r["perfect_percent"]))
    print("target: the first frame at the lock and no change after it in 100 % of launches")
    if os.path.exists(args.out):
        with open(args.out) as f:
            combined = json.load(f)
    else:
        combined = {}
    combined["kwin_wayland"] = results
    with open(args.out, "w") as out:
        json.dump(combined, out, indent=2)


if __name__ == "__main__":
    main()
