#pragma once

#include <QWidget>

#include <functional>

// One numbered panel of the placement picker: a rounded, accent-tinted rectangle with the number, a
// title and the hint "click or press N". A click anywhere inside the rounded rectangle chooses it.
class PlacementOverlay : public QWidget {
    Q_OBJECT

public:
    // translucent: a compositor runs, so the panel is see-through; without one the window is shaped to
    // the rounded rectangle and filled with an opaque tint (an ARGB window would show black).
    PlacementOverlay(int index, QString title, bool translucent, std::function<void()> onClick,
                     QWidget* parent = nullptr);

    static constexpr double cornerRadius = 16;
    static constexpr double borderWidth = 3;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPainterPath panelPath() const;

    int m_index;
    QString m_title;
    bool m_translucent;
    bool m_pressedInside = false;
    std::function<void()> m_onClick;
};
