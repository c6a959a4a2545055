#pragma once

#include <QScrollBar>
#include <QTimer>

class QAbstractScrollArea;

// A thin vertical scroller laid over the right edge of a scroll area's content instead of beside it:
// only the knob is drawn, it shows while the content scrolls or the pointer is over the area, and it
// hides itself a moment later. It mirrors the area's own vertical scroll bar, which it keeps hidden.
class OverlayScrollBar : public QScrollBar {
    Q_OBJECT

public:
    // Laid over area, which owns it.
    explicit OverlayScrollBar(QAbstractScrollArea* area);

    // How long the scroller stays after the last scroll or the pointer leaving.
    static constexpr int lingerMs = 900;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reveal();
    void hideUnlessHeld();
    void place();

    QAbstractScrollArea* m_area;
    QTimer m_hideTimer;
};
