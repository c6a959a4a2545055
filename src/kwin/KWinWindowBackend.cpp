#include "kwin/KWinWindowBackend.h"

#include "kwin/KWinScript.h"
#include "kwin/KWinWorkspace.h"
#include "x11/X11WindowBackend.h"
#include "x11/X11WindowInfo.h"

#include <QJsonObject>
#include <QTimer>

using namespace Qt::StringLiterals;

KWinWindowBackend::KWinWindowBackend(KWinWorkspace& workspace, KWinScript& script, X11Connection* xserver,
                                     std::function<QPointF()> primaryOrigin)
    : m_workspace(workspace)
    , m_script(script)
    , m_xserver(xserver)
    , m_primaryOrigin(std::move(primaryOrigin)) {}

std::optional<WindowRef> KWinWindowBackend::mainWindow(Pid pid) const {
    const QList<WindowRef> list = m_workspace.windowsOf(pid);
    if (list.isEmpty())
        return std::nullopt;
    return list.first();
}

std::optional<QList<WindowRef>> KWinWindowBackend::windows(Pid pid) const {
    return m_workspace.windowsOf(pid);
}

std::optional<QString> KWinWindowBackend::subrole(WindowRef window) const {
    const KWinWindow* w = m_workspace.window(window);
    if (!w)
        return std::nullopt;
    if (w->kind == u"normal"_s && !w->isTransient)
        return standardWindowSubrole;
    return w->kind == u"other"_s ? u"AXUnknown"_s : dialogSubrole;
}

std::optional<QRectF> KWinWindowBackend::frame(WindowRef window) const {
    if (const auto it = m_read.constFind(window); it != m_read.cend())
        return *it;
    const KWinWindow* w = m_workspace.window(window);
    if (!w)
        return std::nullopt;
    const QVariantMap info = m_script.windowInfo(w->id);
    if (info.isEmpty())
        return std::nullopt;
    const QRectF frame(info.value(u"x"_s).toDouble(), info.value(u"y"_s).toDouble(),
                       info.value(u"width"_s).toDouble(), info.value(u"height"_s).toDouble());
    m_read.insert(window, frame);
    if (!m_isForgetScheduled) {
        m_isForgetScheduled = true;
        QTimer::singleShot(0, [this] {
            m_read.clear();
            m_isForgetScheduled = false;
        });
    }
    return frame;
}

std::optional<QPointF> KWinWindowBackend::position(WindowRef window) const {
    const auto f = frame(window);
    return f ? std::optional(f->topLeft() - m_primaryOrigin()) : std::nullopt;
}

std::optional<QSizeF> KWinWindowBackend::size(WindowRef window) const {
    const auto f = frame(window);
    return f ? std::optional(f->size()) : std::nullopt;
}

void KWinWindowBackend::setPosition(WindowRef window, QPointF position) {
    setFrame(window, position, std::nullopt);
}

void KWinWindowBackend::setSize(WindowRef window, QSizeF size) {
    setFrame(window, std::nullopt, size);
}

void KWinWindowBackend::setFrame(WindowRef window, std::optional<QPointF> position,
                                 std::optional<QSizeF> size) {
    const KWinWindow* w = m_workspace.window(window);
    const auto current = frame(window);
    if (!w || !current)
        return;
    const QPointF topLeft = position ? *position + m_primaryOrigin() : current->topLeft();
    // The size the window accepts, as the X11 backend asks: KWin would otherwise set the size asked for and
    // then the window's own, and every pass of a verified move would start over.
    QSizeF outer = current->size();
    if (size) {
        outer = nearestAcceptableSize(window, *size);
        if (w->xid == 0)
            outer = sizeToAsk(window, outer, current->size());
    }
    // Already there: a window placed as it opened is not touched again.
    if (QRectF(topLeft, outer).toAlignedRect() == current->toAlignedRect())
        return;
    m_read.remove(window);
    m_script.send({{u"op"_s, u"frame"_s},
                   {u"id"_s, w->id},
                   {u"frame"_s, QJsonObject{{u"x"_s, qRound(topLeft.x())},
                                            {u"y"_s, qRound(topLeft.y())},
                                            {u"width"_s, qRound(outer.width())},
                                            {u"height"_s, qRound(outer.height())}}}});
}

QSizeF KWinWindowBackend::sizeToAsk(WindowRef window, QSizeF asked, QSizeF now) {
    if (now == asked) {
        m_asked.remove(window);
        m_kept.remove(window);
        return asked;
    }
    if (const auto kept = keptSize(window, asked))
        return *kept == now ? now : asked;
    if (m_asked.size() > 64)
        m_asked.removeIf([this](const auto& entry) { return !m_workspace.window(entry.key()); });
    if (m_kept.size() > 64)
        m_kept.removeIf([this](const auto& entry) { return !m_workspace.window(entry.key()); });
    // Asked this size before and answered with another one than it had: the client keeps its own. A client
    // that has not answered yet is asked again, never shrunk back.
    if (const auto last = m_asked.constFind(window);
        last != m_asked.cend() && last->first == asked && now != last->second) {
        m_kept.insert(window, {asked, now});
        return now;
    }
    m_asked.insert(window, {asked, now});
    return asked;
}

std::optional<QSizeF> KWinWindowBackend::keptSize(WindowRef window, QSizeF asked) const {
    if (const auto kept = m_kept.constFind(window); kept != m_kept.cend() && kept->first == asked)
        return kept->second;
    const KWinWindow* w = m_workspace.window(window);
    if (w && w->placedSize && w->placedSize->first == asked)
        return w->placedSize->second;
    return std::nullopt;
}

QSizeF KWinWindowBackend::nearestAcceptableSize(WindowRef window, QSizeF requested) const {
    const KWinWindow* w = m_workspace.window(window);
    if (!w)
        return requested;
    if (w->xid != 0 && m_xserver) {
        // An X client says what it accepts (KWin, like the X11 window managers, keeps to its size steps).
        const X11WindowInfo info =
            X11WindowInfo::read(*m_xserver, {w->xid}, X11WindowInfo::Frame).constFirst();
        m_xserver->drain();
        if (info.hasGeometry)
            return info.extents.outerSize(
                X11WindowBackend::constrainToSizeHints(info.sizeHints, info.extents.clientSize(requested)));
    }
    QSizeF size = requested.expandedTo(w->minSize);
    if (w->maxSize.width() > 0)
        size.setWidth(std::min(size.width(), w->maxSize.width()));
    if (w->maxSize.height() > 0)
        size.setHeight(std::min(size.height(), w->maxSize.height()));
    return keptSize(window, size).value_or(size);
}

Pid KWinWindowBackend::pid(WindowRef window) const {
    const KWinWindow* w = m_workspace.window(window);
    return w ? w->pid : 0;
}
