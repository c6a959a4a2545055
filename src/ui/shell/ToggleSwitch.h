#pragma once

#include <QAbstractButton>
#include <QColor>

#include <optional>

// An on/off switch: a pill whose knob slides right when on, filled with the accent colour (or a tint)
// when on. clicked(bool) reports the user's changes; setChecked() alone reports nothing worth acting on.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    enum class Size { Small, Regular };

    explicit ToggleSwitch(Size size = Size::Regular, QWidget* parent = nullptr);

    // The fill when on; the accent colour when none.
    void setTint(const std::optional<QColor>& tint);
    std::optional<QColor> tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    Size m_size;
    std::optional<QColor> m_tint;
};
