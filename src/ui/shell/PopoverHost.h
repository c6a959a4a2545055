#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

// The panel's window: a frameless popup that closes on a click outside it, placed under (or over) the
// tray icon, else at the pointer, and always kept on the screen it opens on. Its content is replaced on
// every opening.
class PopoverHost : public QWidget {
    Q_OBJECT

public:
    explicit PopoverHost(QWidget* parent = nullptr);

    // Shows content (taking ownership of it) near anchor, a rectangle in global coordinates: the tray
    // icon, or the pointer as a one-pixel rectangle. Without content it does nothing.
    void showContent(QWidget* content, const QRect& anchor);
    QWidget* content() const { return m_content; }

    // Where a popup of size goes for anchor on a screen of available geometry: below the anchor when
    // there is room, else above it, centred on it, and shifted to stay on the screen.
    static QPoint placement(const QSize& size, const QRect& anchor, const QRect& available);

    // Sees every key press and release meant for the popup before its content does; true consumes it.
    std::function<bool(QKeyEvent*)> keyFilter;

Q_SIGNALS:
    void closed();
    // Where the popup goes, global coordinates; said before it shows there.
    void placed(const QRect& frame);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Takes the content's size and goes to its place for anchor.
    void fitAt(const QRect& anchor);

    QPointer<QWidget> m_content;
};
