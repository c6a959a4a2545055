#include "ui/menu/AppRow.h"

#include "ui/shell/PanelStyle.h"
#include "ui/shell/PlainButton.h"
#include "ui/shell/ToggleSwitch.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

QIcon iconOf(const QVariant& icon) {
    const QImage image = icon.value<QImage>();
    if (image.isNull())
        return {};
    return QIcon(QPixmap::fromImage(image.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace

AppRow::AppRow(MenuPanelModel& model, const MenuAppEntry& entry, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_entry(entry)
    , m_switch(new ToggleSwitch(ToggleSwitch::Size::Small))
    , m_name(new PlainButton) {
    setFixedHeight(lineHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(8);

    m_switch->setAccessibleName(u"Lock %1"_s.arg(entry.name));
    layout->addWidget(m_switch);
    connect(m_switch, &ToggleSwitch::clicked, this, [this](bool on) {
        m_model.setLockEnabled(m_entry.bundleID, on);
        refresh(); // a lock that could not be made leaves the switch off
    });

    m_name->setText(entry.name);
    m_name->setIcon(iconOf(entry.icon));
    m_name->setFont(PanelStyle::subheadline(font()));
    m_name->setToolTip(u"Click the name or icon to re-align this app's windows to the saved position"_s);
    layout->addWidget(m_name, 1);
    connect(m_name, &PlainButton::clicked, this, [this] { m_model.realignApp(m_entry.bundleID); });

    if (entry.isRunning) {
        m_apply = new QPushButton;
        m_apply->setFont(PanelStyle::caption(font()));
        m_apply->setFixedHeight(lineHeight - 6);
        layout->addWidget(m_apply);
        connect(m_apply, &QPushButton::clicked, this,
                [this] { m_model.applyOrUpdate(m_entry.bundleID, m_entry.isRunning); });
    } else {
        m_notRunning = new QLabel(u"not running"_s);
        m_notRunning->setFont(PanelStyle::smallCaption(font()));
        layout->addWidget(m_notRunning);
    }
    refresh();
}

void AppRow::refresh() {
    const MenuPanelModel::RowState state = m_model.rowState(m_entry);
    m_isSelected = m_model.selectedID() == m_entry.bundleID;
    const QPalette& palette = this->palette();

    m_switch->setChecked(state.switchOn);
    m_switch->setEnabled(state.switchEnabled);
    m_switch->setTint(m_isSelected ? std::optional(PanelStyle::green(palette)) : std::nullopt);

    m_name->setTextColour(m_isSelected        ? QColor(Qt::white)
                          : m_entry.isRunning ? PanelStyle::primary(palette)
                                              : PanelStyle::secondary(palette));

    if (m_notRunning) {
        QPalette labelPalette;
        labelPalette.setColor(QPalette::WindowText,
                              m_isSelected ? QColor(255, 255, 255, 204) : PanelStyle::tertiary(palette));
        m_notRunning->setPalette(labelPalette);
    }
    if (m_apply) {
        m_apply->setText(state.applyTitle);
        // As wide as its title: the style's usual minimum is too wide for a small button.
        m_apply->setFixedWidth(m_apply->fontMetrics().horizontalAdvance(state.applyTitle) + 20);
        m_apply->setToolTip(state.applyHelp);
        m_apply->setEnabled(state.applyEnabled);
        // Green while it confirms; the inherited colours otherwise.
        QPalette buttonPalette;
        if (state.isFlashing) {
            buttonPalette.setColor(QPalette::Button, PanelStyle::green(palette));
            buttonPalette.setColor(QPalette::ButtonText, Qt::white);
        }
        m_apply->setPalette(buttonPalette);
    }
    update();
}

void AppRow::paintEvent(QPaintEvent*) {
    if (!m_isSelected)
        return;
    QPainter p(this);
    PanelStyle::fillLine(p, rect(), PanelStyle::accent(palette()));
}

void AppRow::enterEvent(QEnterEvent* event) {
    m_model.select(m_entry.bundleID);
    QWidget::enterEvent(event);
}
