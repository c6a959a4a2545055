#include "ui/settings/ScrubbableField.h"

#include "ui/settings/SettingsStyle.h"
#include "ui/shell/PanelStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SettingsStyle;
using Field = RuleEditorModel::Field;

namespace {

QString letter(Field field) {
    switch (field) {
    case Field::X:
        return u"X"_s;
    case Field::Y:
        return u"Y"_s;
    case Field::W:
        return u"W"_s;
    case Field::H:
        return u"H"_s;
    }
    return QString();
}

// Whole numbers without group separators, as the user's language writes them.
QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

ScrubbableField::ScrubbableField(RuleEditorModel& model, Field field, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_field(field)
    , m_handle(new QWidget)
    , m_text(new QLineEdit) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* handleLayout = new QHBoxLayout(m_handle);
    handleLayout->setContentsMargins(0, 0, 0, 0);
    handleLayout->setSpacing(4);
    auto* name = new QLabel(letter(field));
    QFont font = PanelStyle::caption(name->font());
    font.setWeight(QFont::Medium);
    name->setFont(font);
    name->setFixedWidth(16);
    setTextColour(name, PanelStyle::secondary(name->palette()));
    auto* arrow = new QLabel;
    arrow->setPixmap(symbol(isHorizontal() ? Symbol::ArrowsLeftRight : Symbol::ArrowsUpDown,
                            PanelStyle::tertiary(palette()), 11));
    for (QLabel* label : {name, arrow}) {
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        handleLayout->addWidget(label);
    }
    m_handle->setCursor(isHorizontal() ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    m_handle->setToolTip(u"Drag to adjust "_s + letter(field));
    m_handle->setAccessibleName(u"Drag to adjust "_s + letter(field));
    m_handle->installEventFilter(this);
    layout->addWidget(m_handle);

    m_text->setFixedWidth(66);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_text->setAccessibleName(letter(field));
    connect(m_text, &QLineEdit::editingFinished, this, &ScrubbableField::typed);
    layout->addWidget(m_text);
    showValue();
}

bool ScrubbableField::isHorizontal() const {
    return m_field == Field::X || m_field == Field::W;
}

void ScrubbableField::showValue() {
    if (m_text->isModified())
        return;
    m_text->setText(numberLocale().toString(std::round(m_model.value(m_field)), 'f', 0));
}

void ScrubbableField::typed() {
    bool ok = false;
    const double value = QLocale().toDouble(m_text->text().trimmed(), &ok);
    m_text->setModified(false);
    if (ok && std::isfinite(value)) {
        m_model.setValue(m_field, value);
        m_model.applyTyped();
    }
    showValue(); // the number as kept: whole, and on the display
}

bool ScrubbableField::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_handle)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_dragStart = mouse->globalPosition();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragStart)
            break;
        const QPointF travel = static_cast<QMouseEvent*>(event)->globalPosition() - *m_dragStart;
        m_model.scrub(m_field, isHorizontal() ? travel.x() : travel.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!m_dragStart || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        m_dragStart.reset();
        m_model.endScrub();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ScrubbableField::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        showValue();
    // A disabled widget gets no release: a drag cut short by disabling the lock ends here.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && m_dragStart) {
        m_dragStart.reset();
        m_model.endScrub();
    }
    QWidget::changeEvent(event);
}
