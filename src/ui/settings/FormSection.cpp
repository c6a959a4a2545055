#include "ui/settings/FormSection.h"

#include "ui/settings/SettingsStyle.h"
#include "ui/shell/PanelStyle.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

// The rounded box behind the rows, drawn a shade off the window's background, with a hairline between
// two rows.
class FormSection::Box : public QWidget {
public:
    explicit Box(FormSection* section)
        : QWidget(section)
        , m_section(section) {
        layout = new QVBoxLayout(this);
        layout->setContentsMargins(12, 8, 12, 8);
        layout->setSpacing(12);
    }
    QVBoxLayout* layout;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor window = palette().color(QPalette::Window);
        const QColor line = PanelStyle::separator(palette());
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        p.fillPath(path, window.lightnessF() < 0.5 ? window.lighter(125) : window.lighter(104));
        p.setPen(QPen(QColor(line.red(), line.green(), line.blue(), 50), 1));
        p.drawPath(path);
        const QList<QWidget*>& rows = m_section->m_rows;
        p.setRenderHint(QPainter::Antialiasing, false);
        for (qsizetype i = 1; i < rows.size(); ++i) {
            const double y = std::round((rows[i - 1]->geometry().bottom() + 1 + rows[i]->y()) / 2.0);
            p.drawLine(QPointF(layout->contentsMargins().left(), y),
                       QPointF(width() - layout->contentsMargins().right(), y));
        }
    }

private:
    FormSection* m_section;
};

FormSection::FormSection(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
    , m_box(new Box(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_layout->addWidget(m_box);
    if (!title.isEmpty()) {
        auto* heading = new QLabel(title);
        QFont font = PanelStyle::caption(heading->font());
        font.setBold(true);
        heading->setFont(font);
        SettingsStyle::setTextColour(heading, PanelStyle::secondary(heading->palette()));
        heading->setContentsMargins(4, 0, 0, 0);
        setHeader(heading);
    }
}

void FormSection::setHeader(QWidget* header) {
    // Later: the old heading's menu may be open.
    if (m_header) {
        m_layout->removeWidget(m_header);
        m_header->hide();
        m_header->deleteLater();
    }
    m_header = header;
    if (header)
        m_layout->insertWidget(0, header);
}

void FormSection::addRow(QWidget* row) {
    QList<QWidget*> rows = m_rows;
    rows.append(row);
    setRows(rows);
}

void FormSection::setRows(const QList<QWidget*>& rows) {
    while (QLayoutItem* item = m_box->layout->takeAt(0))
        delete item;
    m_rows = rows;
    for (QWidget* row : rows)
        m_box->layout->addWidget(row);
    m_box->setVisible(!rows.isEmpty());
    m_box->update();
}
