#pragma once

#include <QAbstractButton>
#include <QColor>

// A button drawn without chrome: an optional 16-pixel icon and a text 8 pixels apart, the text in a
// colour of the caller's choosing and elided when the button is narrower than it.
class PlainButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PlainButton(QWidget* parent = nullptr);

    void setTextColour(const QColor& colour);
    QColor textColour() const { return m_textColour; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int iconSpace() const;

    QColor m_textColour;
};
