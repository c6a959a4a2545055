// Reports to the test every window KWin adds with the frame it is first shown with, every frame and opacity
// after that, activations and ends. The first frame is read once KWin is back in its event loop, after every
// script's clientAdded handler (Kestrune's among them) has run, whichever was loaded first.
function report(event, c) {
    var g = c.frameGeometry;
    callDBus("org.kestrune.KWinProbe", "/", "org.kestrune.KWinProbe", "report", event, String(c.internalId),
             String(c.resourceClass), String(c.caption), [g.x, g.y, g.width, g.height, c.opacity].join(","));
}
workspace.clientAdded.connect(function (c) {
    var shown = false;
    var timer = new QTimer();
    timer.singleShot = true;
    timer.interval = 0;
    timer.timeout.connect(function () { shown = true; report("added", c); });
    timer.start();
    c.frameGeometryChanged.connect(function () { if (shown) report("frame", c); });
    c.opacityChanged.connect(function () { if (shown) report("frame", c); });
});
workspace.clientRemoved.connect(function (c) { report("closed", c); });
workspace.clientActivated.connect(function (c) { if (c) report("activated", c); });
