#pragma once

#include "core/platform/WindowBackend.h"

#include <QProcess>
#include <QRectF>

#include <memory>
#include <optional>
#include <vector>

// The X clients a test starts, stopped by process id in reverse order when the test ends.
class TestClients {
public:
    Q_DISABLE_COPY_MOVE(TestClients)
    TestClients();
    ~TestClients();

    // Starts program; null when it could not be started.
    QProcess* start(const QString& program, const QStringList& arguments = {});
    // Our own test client (tests/x11/testclient.cpp) with the given window kinds.
    QProcess* startTestClient(const QStringList& kinds, const QString& windowClass = {});
    // Stops one client and waits for it to be gone.
    static void stop(QProcess* process);
    static qint32 pid(const QProcess* process) {
        return process ? static_cast<qint32>(process->processId()) : 0;
    }

private:
    QList<quint64> m_managedBefore; // what the window manager listed before any of these clients ran
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Monitors made with xrandr for one test, deleted again when it ends.
class TestMonitors {
public:
    Q_DISABLE_COPY_MOVE(TestMonitors)
    TestMonitors() = default;
    ~TestMonitors();

    // Runs xrandr to its end; the monitors it sets are deleted later.
    bool xrandr(const QStringList& arguments);
    // Sets monitors, each "NAME geometry output" ("*NAME" for the primary one; output "screen" takes
    // Xvfb's only output, "none" none).
    bool set(const QStringList& monitors);

private:
    QStringList m_names;
};

class X11Connection;
// Lets everything the server has sent so far (presses, monitor changes) be read and delivered.
void settle(X11Connection& x);

// The main window backend reports for a started client; 0 when there is none within 5 s.
WindowRef waitForMainWindow(const WindowBackend& backend, const QProcess* process);

// Runs a command-line tool to its end and returns what it printed; empty when it failed.
QString runTool(const QString& program, const QStringList& arguments);
// Runs a tool to its end with its output discarded; its exit code, -1 when it did not run.
int runQuietly(const QString& program, const QStringList& arguments);

// The outer frame of a client window measured without our code: its place as xwininfo reports it,
// border included, widened by the _NET_FRAME_EXTENTS xprop reports.
std::optional<QRectF> measuredOuterFrame(quint64 window);
// A client window's own geometry on the root, border included, as xwininfo reports it.
std::optional<QRectF> clientGeometry(quint64 window);

// The windows listed in a root property such as _NET_CLIENT_LIST, in its order.
QList<quint64> rootWindows(const QString& property);

// The window manager the test runs under (with-xsession's KESTRUNE_TEST_WM), openbox by default.
QString testWindowManager();

// Reads window ids printed by the test client ("window 0x...") until count are known or time is up.
QList<quint64> readTestClientWindows(QProcess* process, int count, int timeoutMs = 5000);
