#!/usr/bin/env python3
"""Benchmarks of build/kestrune against devilspie2 on the running X server (bench/run-bench provides a
private Xvfb with openbox).

An observer of its own (python3-xlib, a separate connection) watches the root window's substructure: it
timestamps each frame window's MapNotify and every ConfigureNotify, so "in place" is the first moment
the window manager's frame window (border included) equals the locked frame, seen from outside.

Placement is measured twice: on the machine as it is, and loaded, with one busy process pinned to each
core for as long as the launches are measured. Kestrune and the peer take turns, five launches at a
time, the other one stopped meanwhile, so that both meet the same machine while other work on it comes
and goes.
"""

import argparse
import base64
import contextlib
import json
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import uuid

from Xlib import X, display as xdisplay, error as xerror

LOCKED = (410, 260, 360, 280)
BURST_BASE = (100, 80, 400, 300)
CASCADE_STEP = 32
CASCADE_MIN_HEIGHT = 80
DISPLAY_NAMESPACE = uuid.UUID("D0BCB309-8C85-4763-B633-6691E3767995")

TARGETS = {
    "ratio_idle": 0.8,
    "ratio_loaded": 1.0,
    "one_change_percent": 95.0,
    "burst_ms": 250.0,
    "idle_cpu_percent": 0.05,
    "idle_wakeups": 0.7,
    "rss_mb": 40.0,
    "rss_growth_percent": 5.0,
    "startup_ms": 100.0,
}
# xterm takes sizes in steps of its character cell: a frame up to one step smaller is in place.
CELL_STEPS = {"XTerm": (6, 13)}


def now():
    return time.monotonic()


class Frame:
    def __init__(self, wid, geometry, t):
        self.id = wid
        self.geometry = geometry
        self.created = t
        self.mapped = None
        self.client = None
        self.cls = None
        self.in_place = None
        self.changes_after_map = []  # (time, geometry)
        self.gone = None


class Observer:
    """Frames of top-level windows as the window manager shows them, with timestamps."""

    def __init__(self):
        self.d = xdisplay.Display()
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.d.sync()
        self.windows = {}  # root children: frames and not yet reparented clients
        self.targets = {}  # class -> frame the window should reach
        self.hook = None

    def screen_rect(self):
        g = self.root.get_geometry()
        return (0, 0, g.width, g.height)

    def set_target(self, cls, rect):
        self.targets[cls] = rect

    def _check_place(self, f, t):
        if f.in_place is None and f.mapped is not None and self.targets.get(f.cls):
            if reached(f.geometry, self.targets[f.cls], CELL_STEPS.get(f.cls, (1, 1))):
                f.in_place = t

    def _handle(self, ev, t):
        kind = ev.type
        if kind == X.CreateNotify and ev.parent == self.root:
            bw = ev.border_width
            self.windows[ev.window.id] = Frame(ev.window.id, (ev.x, ev.y, ev.width + 2 * bw,
                                                               ev.height + 2 * bw), t)
        elif kind == X.ReparentNotify:
            if ev.event != self.root:
                return
            if ev.parent.id != self.root.id:
                self.windows.pop(ev.window.id, None)
                f = self.windows.get(ev.parent.id)
                if f is not None:
                    f.client = ev.window.id
                    try:
                        wm_class = ev.window.get_wm_class()
                        f.cls = wm_class[1] if wm_class else None
                    except (xerror.BadWindow, xerror.BadDrawable):
                        f.cls = None
        elif kind == X.ConfigureNotify and ev.event == self.root:
            f = self.windows.get(ev.window.id)
            if f is None:
                return
            bw = ev.border_width
            g = (ev.x, ev.y, ev.width + 2 * bw, ev.height + 2 * bw)
            if g != f.geometry:
                f.geometry = g
                if f.mapped is not None:
                    f.changes_after_map.append((t, g))
                self._check_place(f, t)
        elif kind == X.MapNotify and ev.event == self.root:
            f = self.windows.get(ev.window.id)
            if f is not None and f.mapped is None:
                f.mapped = t
                self._check_place(f, t)
        elif kind in (X.DestroyNotify, X.UnmapNotify) and ev.event == self.root:
            f = self.windows.get(ev.window.id)
            if f is not None and f.gone is None and f.mapped is not None:
                f.gone = t
        if self.hook:
            self.hook(t)

    def pump(self, seconds):
        """Handles events as they come for the given time."""
        end = now() + seconds
        while True:
            while self.d.pending_events():
                ev = self.d.next_event()
                self._handle(ev, now())
            remaining = end - now()
            if remaining <= 0:
                return
            select.select([self.d], [], [], remaining)

    def wait_for(self, predicate, timeout, step=0.002):
        end = now() + timeout
        while True:
            result = predicate()
            if result:
                return result
            if now() >= end:
                return None
            self.pump(min(step, max(0.0, end - now())))

    def frames(self, cls, alive=True):
        return [f for f in self.windows.values()
                if f.cls == cls and f.mapped is not None and (not alive or f.gone is None)]

    def forget_gone(self):
        self.windows = {k: f for k, f in self.windows.items() if f.gone is None}


def reached(geometry, target, steps):
    x, y, w, h = geometry
    tx, ty, tw, th = target
    return (x, y) == (tx, ty) and 0 <= tw - w < steps[0] and 0 <= th - h < steps[1]


class Load:
    """One busy process pinned to each core while in use."""

    def __init__(self):
        self.processes = []

    def __enter__(self):
        for core in sorted(os.sched_getaffinity(0)):
            self.processes.append(subprocess.Popen(["taskset", "-c", str(core), "sh", "-c", "while :; do :; done"]))
        time.sleep(0.5)
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.kill()
            process.wait()
        self.processes = []


def display_id():
    return str(uuid.uuid5(DISPLAY_NAMESPACE, "monitor:screen")).upper()


def rule(bundle, rect, cascade=True):
    return {
        "id": str(uuid.uuid4()).upper(), "bundleID": bundle, "appName": bundle.lower(),
        "x": rect[0], "y": rect[1], "width": rect[2], "height": rect[3],
        "requiredDisplayID": display_id(), "requiredDisplayName": "screen",
        "isEnabled": True, "cascadeWindows": cascade,
    }


def lock_set(count, extra):
    rules = list(extra)
    i = 0
    while len(rules) < count:
        rules.append(rule("org.example.Unused%d" % i, (50 + i, 60 + i, 640, 480)))
        i += 1
    return rules


class Kestrune:
    """build/kestrune with a home of its own holding the given locks."""

    def __init__(self, binary, rules):
        self.home = tempfile.mkdtemp(prefix="kestrune-bench-")
        config = os.path.join(self.home, "config", "kestrune")
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(config)
        os.makedirs(runtime, mode=0o700)
        data = base64.b64encode(json.dumps(rules).encode()).decode()
        with open(os.path.join(config, "preferences.json"), "w") as out:
            json.dump({"Kestrune.rules": {"data": data}}, out)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_RUNTIME_DIR=runtime)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.binary = binary
        self.process = None

    def start(self):
        self.process = subprocess.Popen([self.binary], env=self.env, stdout=subprocess.DEVNULL)
        return self.process

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)


class Devilspie:
    """devilspie2 with one rule setting xlogo's geometry."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="devilspie2-bench-")
        self.process = None
        self.rect = LOCKED

    def start(self, rect):
        self.rect = rect
        with open(os.path.join(self.folder, "xlogo.lua"), "w") as out:
            out.write('if (get_window_class() == "XLogo") then\n'
                      '  set_window_geometry(%d, %d, %d, %d)\nend\n' % rect)
        self.process = subprocess.Popen(["devilspie2", "--folder", self.folder],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        return self.process

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(5)
        self.process = None


def launch(program="xlogo"):
    return subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def close(obs, process, frames):
    process.terminate()
    process.wait(5)
    obs.wait_for(lambda: all(f.gone is not None for f in frames), 3)
    obs.forget_gone()


def one_launch(obs, settle=0.3, timeout=3.0, program="xlogo", cls="XLogo"):
    """Starts a client; returns (ms from map to in place or None, geometry changes after map, final frame,
    ms from map to the first change)."""
    before = set(obs.windows)
    process = launch(program)
    frame = obs.wait_for(lambda: next((f for f in obs.frames(cls) if f.id not in before), None), 5)
    if frame is None:
        process.kill()
        process.wait()
        return None, 0, None, None
    obs.wait_for(lambda: frame.in_place is not None, timeout)
    obs.pump(settle)
    latency = None if frame.in_place is None else max(0.0, (frame.in_place - frame.mapped) * 1000)
    moves = len(frame.changes_after_map)
    first = (frame.changes_after_map[0][0] - frame.mapped) * 1000 if moves else None
    final = frame.geometry
    close(obs, process, [frame])
    return latency, moves, final, first


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return None
    k = max(0, min(len(ordered) - 1, int(round(p / 100.0 * len(ordered) + 0.5)) - 1))
    return ordered[k]


def summary(launches, label):
    """Figures of launches as one_launch reports them."""
    latencies = [l[0] for l in launches if l[0] is not None]
    moves = [l[1] for l in launches]
    firsts = [l[3] for l in launches if l[3] is not None]
    result = {
        "runs": len(launches), "in_place": len(latencies), "missed": len(launches) - len(latencies),
        "median_ms": statistics.median(latencies) if latencies else None,
        "p95_ms": percentile(latencies, 95), "max_ms": max(latencies) if latencies else None,
        "first_move_median_ms": statistics.median(firsts) if firsts else None,
        "moves_median": statistics.median(moves) if moves else None,
        "moves_max": max(moves, default=0),
        "one_change_percent": 100.0 * sum(1 for m in moves if m == 1) / len(moves) if moves else None,
        "latencies_ms": [round(v, 2) for v in latencies],
        "moves": moves,
        "load": open("/proc/loadavg").read().split()[:3],
    }
    print("  %s: median %s ms (first move after %s ms), p95 %s ms, moves %s, exactly one in %s %% "
          "(%d of %d in place)" % (
              label, fmt(result["median_ms"]), fmt(result["first_move_median_ms"]), fmt(result["p95_ms"]),
              result["moves_median"], fmt(result["one_change_percent"]), len(latencies), len(launches)),
          file=sys.stderr)
    return result


def placement_runs(obs, runs, label, program="xlogo", cls="XLogo"):
    return summary([one_launch(obs, program=program, cls=cls) for _ in range(runs)], label)


def taking_turns(obs, runs, contenders, block=5):
    """xlogo launches for each contender (name: pid) in turn, block at a time, the others stopped."""
    launches = {name: [] for name in contenders}
    for start in range(0, runs, block):
        for name, pid in contenders.items():
            for other, other_pid in contenders.items():
                if other != name:
                    os.kill(other_pid, signal.SIGSTOP)
            os.kill(pid, signal.SIGCONT)
            obs.pump(0.2)  # what it missed while stopped
            launches[name] += [one_launch(obs) for _ in range(min(block, runs - start))]
    for pid in contenders.values():
        os.kill(pid, signal.SIGCONT)
    return launches


def placement_pair(obs, runs, contenders):
    """The contenders' placement of xlogo on the machine as it is, then loaded."""
    result = {name: {} for name in contenders}
    for state in ("idle", "loaded"):
        with Load() if state == "loaded" else contextlib.nullcontext():
            launches = taking_turns(obs, runs, contenders)
        for name in contenders:
            result[name][state] = summary(launches[name], "%s, %s" % (name, state))
    return result


def cascade_frames(base, count, screen):
    frames = []
    for i in range(count):
        x, y, w, h = base[0] + i * CASCADE_STEP, base[1] + i * CASCADE_STEP, base[2], base[3]
        max_x, max_y = screen[0] + screen[2], screen[1] + screen[3]
        if max_x < x + w:
            x = max_x - w
        x = max(x, screen[0])
        y = max(y, screen[1])
        if max_y < y + h:
            h = max(max_y - y, CASCADE_MIN_HEIGHT)
        frames.append((x, y, w, h))
    return frames


def burst(obs, testclient, count=30):
    cls = "KestruneBurst"
    expected = sorted(cascade_frames(BURST_BASE, count, obs.screen_rect()))
    state = {"done": None}

    def check(t):
        if state["done"] is None:
            frames = obs.frames(cls)
            if len(frames) == count and sorted(f.geometry for f in frames) == expected:
                state["done"] = t

    obs.hook = check
    started = now()
    process = subprocess.Popen([testclient] + ["normal"] * count, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, env=dict(os.environ, KTEST_CLASS=cls))
    obs.wait_for(lambda: state["done"] is not None, 10)
    obs.pump(0.5)
    obs.hook = None
    frames = obs.frames(cls)
    first_map = min((f.mapped for f in frames), default=None)
    last_map = max((f.mapped for f in frames), default=None)
    remaining = list(expected)
    misplaced = 0
    for f in frames:
        if f.geometry in remaining:
            remaining.remove(f.geometry)
        else:
            misplaced += 1
    result = {
        "windows": count, "mapped": len(frames), "misplaced": misplaced + (count - len(frames)),
        "all_in_place_ms": None if state["done"] is None or first_map is None
        else (state["done"] - first_map) * 1000,
        "from_exec_ms": None if state["done"] is None else (state["done"] - started) * 1000,
        "maps_span_ms": None if first_map is None else (last_map - first_map) * 1000,
        "moves": sum(len(f.changes_after_map) for f in frames),
    }
    print("  burst: %s ms from the first map, %s misplaced" % (fmt(result["all_in_place_ms"]),
                                                              result["misplaced"]), file=sys.stderr)
    return process, result


def proc_sample(pid):
    """CPU seconds used so far, and the context switches of each thread (voluntary and not)."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime, stime
    switches = {}
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        switches[task] = switches.get(task, 0) + int(line.split()[1])
        except FileNotFoundError:
            pass
    return ticks / os.sysconf("SC_CLK_TCK"), switches


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return None


def idle(obs, pids, seconds):
    start = {name: proc_sample(pid) for name, pid in pids.items()}
    obs.pump(seconds)
    result = {}
    for name, pid in pids.items():
        cpu, switches = proc_sample(pid)
        used = cpu - start[name][0]
        result[name] = {
            "seconds": seconds, "cpu_seconds": round(used, 3),
            "cpu_percent": round(100.0 * used / seconds, 4),
            # Threads started meanwhile count from zero; those that ended are not counted.
            "wakeups_per_second": round(sum(n - start[name][1].get(tid, 0) for tid, n in switches.items())
                                        / seconds, 2),
            "rss_mb": round(rss_mb(pid), 1),
        }
    return result


def memory_across_edits(binary, edits=1000):
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    home = tempfile.mkdtemp(prefix="kestrune-membench-")
    env["XDG_CONFIG_HOME"] = home
    env["XDG_RUNTIME_DIR"] = home
    try:
        out = subprocess.run([binary, str(edits)], env=env, capture_output=True, timeout=300, check=True)
        return json.loads(out.stdout.decode().strip().splitlines()[-1])
    except (OSError, subprocess.SubprocessError, ValueError, IndexError) as failure:
        print("  memory benchmark failed: %s" % failure, file=sys.stderr)
        return {}
    finally:
        shutil.rmtree(home, ignore_errors=True)


def startup(obs, binary, runs=5):
    times = []
    target_rules = [rule("XLogo", LOCKED)]
    for _ in range(runs):
        process = launch()
        frame = obs.wait_for(lambda: next(iter(obs.frames("XLogo")), None), 5)
        obs.pump(0.2)
        app = Kestrune(binary, lock_set(50, target_rules))
        t0 = now()
        app.start()
        obs.wait_for(lambda: frame is not None and frame.in_place is not None, 5)
        if frame is not None and frame.in_place is not None:
            times.append((frame.in_place - t0) * 1000)
        app.stop()
        close(obs, process, [frame] if frame else [])
    result = {"runs": runs, "enforced": len(times),
              "median_ms": statistics.median(times) if times else None,
              "max_ms": max(times) if times else None,
              "first_ms": times[0] if times else None, "times_ms": [round(t, 1) for t in times]}
    print("  start-up: median %s ms" % fmt(result["median_ms"]), file=sys.stderr)
    return result


def calibrate_peer(obs, peer):
    """The rule that gives xlogo the locked outer frame under devilspie2, found from one trial launch."""
    peer.start(LOCKED)
    obs.set_target("XLogo", None)
    _, _, got, _ = one_launch(obs, settle=1.0, timeout=1.0)
    peer.stop()
    if got is None:
        return LOCKED
    corrected = tuple(2 * a - b for a, b in zip(LOCKED, got))
    return corrected


def fmt(value, digits=1):
    if value is None:
        return "-"
    if isinstance(value, float):
        if abs(value) < 1:
            digits = 3
        return ("%%.%df" % digits) % value
    return str(value)


def ratio(ours, peer):
    return ours / peer if ours is not None and peer else None


def table(results):
    k, p = results["kestrune"], results["devilspie2"]
    rows = []
    for state in ("idle", "loaded"):
        kp, pp = k["placement"][state], p["placement"][state]
        rows += [
            ("%s: placement median (ms)" % state, kp["median_ms"], "-", pp["median_ms"]),
            ("%s: placement ratio (ours / peer median)" % state, ratio(kp["median_ms"], pp["median_ms"]),
             "<= %g" % TARGETS["ratio_" + state], None),
            ("%s: placement p95 (ms)" % state, kp["p95_ms"], "<= peer", pp["p95_ms"]),
            ("%s: map to first move (median, ms)" % state, kp["first_move_median_ms"], "-",
             pp["first_move_median_ms"]),
            ("%s: geometry changes after map (median)" % state, kp["moves_median"], "-", pp["moves_median"]),
            ("%s: launches with exactly one change (%%)" % state, kp["one_change_percent"],
             ">= %g" % TARGETS["one_change_percent"], pp["one_change_percent"]),
            ("%s: launches not in place" % state, kp["missed"], "0", pp["missed"]),
        ]
    xt = k["xterm"]
    rows += [
        ("xterm: placement median / p95 (ms)", "%s / %s" % (fmt(xt["median_ms"]), fmt(xt["p95_ms"])), "-", None),
        ("xterm: launches with exactly one change (%)", xt["one_change_percent"],
         ">= %g" % TARGETS["one_change_percent"], None),
        ("burst: 30 windows all in place (ms)", k["burst"]["all_in_place_ms"],
         "<= %g" % TARGETS["burst_ms"], None),
        ("burst: windows misplaced", k["burst"]["misplaced"], "0", None),
        ("idle CPU over %ds (%% of one core)" % k["idle"]["seconds"], k["idle"]["cpu_percent"],
         "< %g" % TARGETS["idle_cpu_percent"], p["idle"]["cpu_percent"]),
        ("idle CPU seconds", k["idle"]["cpu_seconds"], "-", p["idle"]["cpu_seconds"]),
        ("idle wake-ups per second", k["idle"]["wakeups_per_second"], "<= %g" % TARGETS["idle_wakeups"],
         p["idle"]["wakeups_per_second"]),
        ("resident memory after start (MB)", k["rss_after_start_mb"], "< %g" % TARGETS["rss_mb"],
         p["rss_after_start_mb"]),
        ("resident memory, 30 windows idle (MB)", k["idle"]["rss_mb"], "< %g" % TARGETS["rss_mb"],
         p["idle"]["rss_mb"]),
        ("in-process RSS after start (MB)", k["edits"].get("rss_after_start_mb"), "< %g" % TARGETS["rss_mb"],
         None),
        ("in-process RSS after 1000 lock edits (MB)", k["edits"].get("rss_after_edits_mb"),
         "< %g" % TARGETS["rss_mb"], None),
        ("RSS growth over 1000 edits (%)", k["edits"].get("growth_percent"),
         "<= %g" % TARGETS["rss_growth_percent"], None),
        ("start-up to first enforced lock, 50 locks (ms)", k["startup"]["median_ms"],
         "<= %g" % TARGETS["startup_ms"], None),
    ]
    width = max(len(r[0]) for r in rows)
    lines = ["%-*s  %13s  %-10s  %10s" % (width, "figure", "Kestrune", "target", "devilspie2"),
             "-" * (width + 39)]
    for name, ours, target, peer in rows:
        lines.append("%-*s  %13s  %-10s  %10s" % (width, name, fmt(ours), target, fmt(peer)))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    runs = int(os.environ.get("KESTRUNE_BENCH_RUNS", "30"))
    idle_seconds = int(os.environ.get("KESTRUNE_BENCH_IDLE", "60"))
    binary = os.path.join(args.build, "kestrune")
    testclient = os.path.join(args.build, "tests", "x11", "kestrune_testclient")

    obs = Observer()
    results = {"kestrune": {}, "devilspie2": {}, "machine": {
        "cores": os.cpu_count(), "load_before": open("/proc/loadavg").read().split()[:3]}}

    print("start-up with 50 stored locks", file=sys.stderr)
    obs.set_target("XLogo", LOCKED)
    results["kestrune"]["startup"] = startup(obs, binary)

    print("placement latency of xlogo, %d relaunches each, idle and loaded" % runs, file=sys.stderr)
    peer = Devilspie()
    peer_rule = calibrate_peer(obs, peer)
    obs.set_target("XLogo", LOCKED)
    peer.start(peer_rule)
    results["devilspie2"]["rule_geometry"] = peer_rule
    results["devilspie2"]["rss_after_start_mb"] = round(rss_mb(peer.process.pid), 1)

    idle_rules = [rule("XLogo", LOCKED), rule("XTerm", LOCKED), rule("KestruneBurst", BURST_BASE)]
    app = Kestrune(binary, lock_set(20, idle_rules))
    app.start()
    obs.wait_for(lambda: os.path.exists(os.path.join(app.env["XDG_RUNTIME_DIR"], "kestrune.socket")), 10)
    obs.pump(1.0)
    results["kestrune"]["rss_after_start_mb"] = round(rss_mb(app.process.pid), 1)
    placement = placement_pair(obs, runs, {"devilspie2": peer.process.pid, "kestrune": app.process.pid})
    for name, figures in placement.items():
        results[name]["placement"] = figures
    peer.stop()
    obs.set_target("XTerm", LOCKED)
    results["kestrune"]["xterm"] = placement_runs(obs, runs, "kestrune, xterm", "xterm", "XTerm")

    print("burst of 30 windows under a cascading lock", file=sys.stderr)
    client, results["kestrune"]["burst"] = burst(obs, testclient)

    print("idle: 20 locks, 30 windows, %d s" % idle_seconds, file=sys.stderr)
    peer.start(peer_rule)
    obs.pump(3.0)
    figures = idle(obs, {"kestrune": app.process.pid, "devilspie2": peer.process.pid}, idle_seconds)
    results["kestrune"]["idle"] = figures["kestrune"]
    results["devilspie2"]["idle"] = figures["devilspie2"]
    results["machine"]["load_after"] = open("/proc/loadavg").read().split()[:3]

    peer.stop()
    print("memory across 1,000 lock edits (in-process)", file=sys.stderr)
    results["kestrune"]["edits"] = memory_across_edits(os.path.join(args.build, "bench", "kestrune_membench"))
    client.stdin.write(b"quit\n")
    client.stdin.close()
    client.wait(5)
    app.stop()
    shutil.rmtree(peer.folder, ignore_errors=True)

    with open(args.out, "w") as out:
        json.dump(results, out, indent=2)
    print(table(results))
    print("load average before / after: %s / %s on %d cores; results in %s" % (
        " ".join(results["machine"]["load_before"]), " ".join(results["machine"]["load_after"]),
        os.cpu_count(), args.out))
    print("load average after each placement run: " + ", ".join(
        "%s %s %s" % (who, state, " ".join(results[who]["placement"][state]["load"]))
        for who in ("devilspie2", "kestrune") for state in ("idle", "loaded")))


if __name__ == "__main__":
    main()
