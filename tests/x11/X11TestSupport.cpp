#include "X11TestSupport.h"

#include "x11/X11Connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

QList<quint64> rootWindows(const QString& property) {
    QList<quint64> ids;
    const QString list = runTool(u"xprop"_s, {u"-root"_s, property});
    for (const auto& match : QRegularExpression(u"0x[0-9a-f]+"_s).globalMatch(list))
        ids.append(match.captured().toULongLong(nullptr, 16));
    return ids;
}

TestClients::TestClients()
    : m_managedBefore(rootWindows(u"_NET_CLIENT_LIST"_s)) {}

TestClients::~TestClients() {
    if (m_processes.empty())
        return;
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        stop(it->get());
    // X11: window ids are reused at once, and mutter, still letting go of old windows, may drop a new
    // one with a reused id: the next test starts once the window manager lists no window of ours.
    const QDeadlineTimer deadline(2000);
    while (!deadline.hasExpired()) {
        const QList<quint64> now = rootWindows(u"_NET_CLIENT_LIST"_s);
        if (std::all_of(now.cbegin(), now.cend(),
                        [this](quint64 id) { return m_managedBefore.contains(id); }))
            break;
        QThread::msleep(10);
    }
}

QProcess* TestClients::start(const QString& program, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QProcess* TestClients::startTestClient(const QStringList& kinds, const QString& windowClass) {
    qputenv("KTEST_CLASS", windowClass.toUtf8()); // inherited by the client; empty: its default class
    return start(QCoreApplication::applicationDirPath() + u"/kestrune_testclient"_s, kinds);
}

void TestClients::stop(QProcess* process) {
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate(); // SIGTERM to this process id only
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

QString runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForFinished(5000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

int runQuietly(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForFinished(5000) || tool.exitStatus() != QProcess::NormalExit)
        return -1;
    return tool.exitCode();
}

namespace {

int field(const QString& text, const QString& label) {
    const QRegularExpression pattern(QRegularExpression::escape(label) + uR"(:\s*(-?\d+))"_s);
    const auto match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

std::optional<QRectF> measuredOuterFrame(quint64 window) {
    const auto client = clientGeometry(window);
    if (!client)
        return std::nullopt;
    const auto values =
        QRegularExpression(uR"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))"_s)
            .match(runTool(u"xprop"_s, {u"-id"_s, QString::number(window), u"_NET_FRAME_EXTENTS"_s}));
    // Left, right, top, bottom.
    const auto extent = [&](int i) { return values.hasMatch() ? values.captured(i).toInt() : 0; };
    return client->adjusted(-extent(1), -extent(3), extent(2), extent(4));
}

std::optional<QRectF> clientGeometry(quint64 window) {
    const QString info = runTool(u"xwininfo"_s, {u"-id"_s, QString::number(window)});
    if (info.isEmpty())
        return std::nullopt;
    const int border = field(info, u"Border width"_s);
    return QRectF(field(info, u"Absolute upper-left X"_s) - border,
                  field(info, u"Absolute upper-left Y"_s) - border, field(info, u"Width"_s) + 2 * border,
                  field(info, u"Height"_s) + 2 * border);
}

QString testWindowManager() {
    const QString wm = qEnvironmentVariable("KESTRUNE_TEST_WM");
    return wm.isEmpty() ? u"openbox"_s : wm;
}

QList<quint64> readTestClientWindows(QProcess* process, int count, int timeoutMs) {
    QList<quint64> windows;
    const QDeadlineTimer deadline(timeoutMs);
    while (windows.size() < count && !deadline.hasExpired()) {
        if (!process->canReadLine() && !process->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        while (process->canReadLine()) {
            const QString line = QString::fromLatin1(process->readLine()).trimmed();
            if (line.startsWith(u"window "_s))
                windows.append(line.mid(7).toULongLong(nullptr, 16));
        }
    }
    return windows;
}

TestMonitors::~TestMonitors() {
    // In the order made: the first took Xvfb's output, which goes back to its own monitor at once, so
    // no moment shows one of ours alone.
    QStringList arguments;
    for (const QString& name : std::as_const(m_names))
        arguments << u"--delmonitor"_s << name;
    if (!arguments.isEmpty())
        runQuietly(u"xrandr"_s, arguments);
}

bool TestMonitors::xrandr(const QStringList& arguments) {
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--setmonitor"_L1 && !m_names.contains(QString(arguments[i + 1]).remove(u'*')))
            m_names.append(QString(arguments[i + 1]).remove(u'*'));
    }
    return runQuietly(u"xrandr"_s, arguments) == 0;
}

bool TestMonitors::set(const QStringList& monitors) {
    QStringList arguments;
    for (const QString& monitor : monitors)
        arguments << u"--setmonitor"_s << monitor.split(u' ');
    return arguments.isEmpty() || xrandr(arguments);
}

void settle(X11Connection& x) {
    std::free(xcb_get_input_focus_reply(x.xcb(), xcb_get_input_focus(x.xcb()), nullptr));
    x.drain();
    QCoreApplication::processEvents(); // delivery is queued for the next turn of the loop
    QCoreApplication::processEvents();
}

WindowRef waitForMainWindow(const WindowBackend& backend, const QProcess* process) {
    WindowRef w = 0;
    [&] {
        QVERIFY(process);
        QTRY_VERIFY_WITH_TIMEOUT((w = backend.mainWindow(TestClients::pid(process)).value_or(0)), 5000);
    }();
    return w;
}
