#include "ui/shell/PopoverHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// A Wayland popup needs a parent window, which the panel has not: there it is a frameless window kept on
// top that closes when it loses the focus, placed by the compositor's script.
bool isWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

PopoverHost::PopoverHost(QWidget* parent)
    : QWidget(parent, isWayland() ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                  : Qt::Popup | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Kestrune"));
    setAccessibleName(QStringLiteral("Kestrune"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Keys reach the application's focused widget, inside the popup: filter them there.
    qApp->installEventFilter(this);
}

QPoint PopoverHost::placement(const QSize& size, const QRect& anchor, const QRect& available) {
    const int gap = 4;
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.y() + anchor.height() + gap;
    if (y + size.height() > available.y() + available.height())
        y = anchor.y() - gap - size.height();
    x = std::clamp(x, available.x(),
                   std::max(available.x(), available.x() + available.width() - size.width()));
    y = std::clamp(y, available.y(),
                   std::max(available.y(), available.y() + available.height() - size.height()));
    return {x, y};
}

void PopoverHost::showContent(QWidget* content, const QRect& anchor) {
    if (!content)
        return; // nothing to show: the popover stays as it is
    if (m_content) {
        // Out of the layout at once, so the popup takes the new content's size; deleted once any event
        // it is handling has returned.
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    layout()->addWidget(content);
    fitAt(anchor);
    show();
    // Content that fills itself in as it comes on screen has grown by now: placed again at its size.
    fitAt(anchor);
    raise();
    activateWindow();
    content->setFocus();
}

void PopoverHost::fitAt(const QRect& anchor) {
    adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), size());
    const QPoint topLeft = placement(size(), anchor, available);
    move(topLeft);
    Q_EMIT placed(QRect(topLeft, size()));
}

bool PopoverHost::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && windowType() != Qt::Popup && isVisible())
        close();
    return QWidget::event(event);
}

bool PopoverHost::eventFilter(QObject* watched, QEvent* event) {
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (key && isVisible() && keyFilter) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget)) && keyFilter(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PopoverHost::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Q_EMIT closed();
}
