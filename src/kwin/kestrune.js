// Kestrune's part inside KWin. It reports windows to Kestrune over D-Bus and carries out what Kestrune
// asks: frames, activation, the frames of locked applications' new windows and the places of Kestrune's
// own panels. Kestrune's commands arrive as answers to calls this script keeps waiting on it ("polls"),
// several at a time, so that a command never waits for a poll to be made.
"use strict";

const service = "org.kestrune.Kestrune";
const path = "/KWin";
const iface = "org.kestrune.KWin";
const pollCount = 8;

// Lower-case application identity -> the frames its next windows get: the first for a window shown
// while none of the application's is open, the next ones for later windows (cascaded).
let placements = {};
// Kestrune's own windows by title: {frame, activate, above}.
let own = {};
let ownPid = -1;
// Windows kept out of sight until they have taken their frame, by id: the function that shows them.
let hidden = {};
// The window that had the focus last, other than Kestrune's own that must not take it.
let lastActive = workspace.activeClient;

function identity(c) {
    return String(c.resourceClass).toLowerCase();
}

function kind(c) {
    if (c.normalWindow)
        return "normal";
    return c.dialog ? "dialog" : "other";
}

function describe(c) {
    return {
        id: String(c.internalId),
        xid: c.windowId || 0,
        resourceClass: String(c.resourceClass),
        pid: c.pid,
        caption: String(c.caption),
        kind: kind(c),
        transient: !!c.transient,
        skipTaskbar: !!c.skipTaskbar,
        minSize: {width: c.minSize.width, height: c.minSize.height},
        maxSize: {width: c.maxSize.width, height: c.maxSize.height},
    };
}

function isReported(c) {
    return c.managed && !c.deleted && (c.normalWindow || c.dialog || c.utility);
}

function report(event) {
    const cursor = workspace.cursorPos;
    event.cursor = {x: cursor.x, y: cursor.y};
    const active = workspace.activeClient;
    event.active = active ? String(active.internalId) : "";
    callDBus(service, path, iface, "Report", JSON.stringify(event));
}

function findWindow(id) {
    const list = workspace.clientList();
    for (let i = 0; i < list.length; ++i) {
        if (String(list[i].internalId) === id)
            return list[i];
    }
    return null;
}

function applyOwn(c, place) {
    c.skipTaskbar = true;
    c.skipPager = true;
    c.skipSwitcher = true;
    c.keepAbove = !!place.above;
    c.onAllDesktops = true;
    c.frameGeometry = place.frame;
    if (place.activate)
        workspace.activeClient = c;
}

// Gives a window its frame; true when it is kept out of sight until it has taken it. A Wayland client
// takes a new size only with its next frame, and the first one may already be on screen by then: it is
// shown once KWin has its new frame, or after half a second for a client that refuses it.
function place(c, frame) {
    c.frameGeometry = frame;
    const now = c.frameGeometry;
    if (Math.round(now.x) === frame.x && Math.round(now.y) === frame.y && Math.round(now.width) === frame.width &&
        Math.round(now.height) === frame.height)
        return false;
    const id = String(c.internalId);
    const opacity = c.opacity;
    const timer = new QTimer();
    const show = function () {
        if (!hidden[id])
            return;
        delete hidden[id];
        timer.stop();
        c.frameGeometryChanged.disconnect(show);
        c.opacity = opacity;
        // A client may keep a size of its own (a terminal keeps to its character cells).
        const took = c.frameGeometry;
        report({type: "placed", id: id, asked: {width: frame.width, height: frame.height},
                took: {width: Math.round(took.width), height: Math.round(took.height)}});
    };
    hidden[id] = show;
    c.opacity = 0;
    c.frameGeometryChanged.connect(show);
    timer.singleShot = true;
    timer.interval = 500;
    timer.timeout.connect(show);
    timer.start();
    return true;
}

// Gives a new window its frame before it is first shown.
function placeOnArrival(c) {
    if (c.pid === ownPid) {
        const ownPlace = own[String(c.caption)];
        if (ownPlace)
            applyOwn(c, ownPlace);
        return;
    }
    if (!c.normalWindow || c.transient)
        return;
    const frames = placements[identity(c)];
    if (!frames)
        return;
    const list = workspace.clientList();
    let open = 0;
    for (let i = 0; i < list.length; ++i) {
        if (list[i] !== c && list[i].normalWindow && !list[i].transient && identity(list[i]) === identity(c))
            ++open;
    }
    if (open < frames.length)
        place(c, frames[open]);
}

function carryOut(command) {
    switch (command.op) {
    case "session":
        ownPid = command.pid;
        placements = {};
        own = {};
        break;
    case "placements":
        placements = command.placements;
        break;
    case "own": {
        own[command.caption] = command;
        const list = workspace.clientList();
        for (let i = 0; i < list.length; ++i) {
            if (list[i].pid === ownPid && String(list[i].caption) === command.caption)
                applyOwn(list[i], command);
        }
        break;
    }
    case "frame": {
        const c = findWindow(command.id);
        if (c)
            c.frameGeometry = command.frame;
        break;
    }
    case "activate": {
        const c = findWindow(command.id);
        if (c)
            workspace.activeClient = c;
        break;
    }
    case "activateOwn": {
        const list = workspace.clientList();
        for (let i = 0; i < list.length; ++i) {
            if (list[i].pid === ownPid && String(list[i].caption) === command.caption)
                workspace.activeClient = list[i];
        }
        break;
    }
    case "pointer":
        report({type: "pointer"});
        break;
    }
}

// Kestrune answers every poll within 20 s. When none came for longer it has gone without unloading this
// script (it crashed): nothing is placed on its behalf any more.
let lastAnswer = Date.now();
const silence = new QTimer();
silence.interval = 10000;
silence.timeout.connect(function () {
    if (Date.now() - lastAnswer > 30000) {
        placements = {};
        own = {};
    }
});
silence.start();

// Waits on Kestrune for commands; answered at once when there are some, else empty after a while. A poll
// that fails (Kestrune gone) is not made again: Kestrune loads this script afresh when it starts.
function poll() {
    callDBus(service, path, iface, "Next", function (answer) {
        lastAnswer = Date.now();
        let commands = [];
        try {
            commands = JSON.parse(answer);
        } catch (e) {
            commands = [];
        }
        for (let i = 0; i < commands.length; ++i)
            carryOut(commands[i]);
        poll();
    });
}

function hello() {
    const windows = [];
    const list = workspace.clientList();
    for (let i = 0; i < list.length; ++i) {
        if (isReported(list[i]))
            windows.push(describe(list[i]));
    }
    report({type: "hello", windows: windows});
}

workspace.clientAdded.connect(function (c) {
    placeOnArrival(c);
    if (isReported(c))
        report({type: "added", window: describe(c)});
});
workspace.clientRemoved.connect(function (c) {
    delete hidden[String(c.internalId)];
    if (c === lastActive)
        lastActive = null;
    report({type: "removed", id: String(c.internalId)});
});
// Kestrune's panels that must not take the focus (the picker's) give it back: KWin activates a Wayland
// window as it opens, whatever it asks.
const giveBack = new QTimer();
giveBack.singleShot = true;
giveBack.interval = 0;
giveBack.timeout.connect(function () {
    if (lastActive)
        workspace.activeClient = lastActive;
});
workspace.clientActivated.connect(function (c) {
    if (c && c.pid === ownPid && own[String(c.caption)] && !own[String(c.caption)].activate) {
        giveBack.start();
        return;
    }
    if (c)
        lastActive = c;
    report({type: "activated", id: c ? String(c.internalId) : ""});
});

for (let i = 0; i < pollCount; ++i)
    poll();
hello();
