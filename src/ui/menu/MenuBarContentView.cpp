#include "ui/menu/MenuBarContentView.h"

#include "core/desktop/AccessibilityManager.h"
#include "core/desktop/KeyCodes.h"
#include "core/model/LockStore.h"
#include "ui/menu/AppRow.h"
#include "ui/menu/MenuActionRow.h"
#include "ui/shell/KestruneIcon.h"
#include "ui/shell/OverlayScrollBar.h"
#include "ui/shell/PanelStyle.h"
#include "ui/shell/ShortcutText.h"
#include "ui/shell/ToggleSwitch.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The list: lines of AppRow::lineHeight, rowSpacing apart, inside listPadding above and below (and on the
// right, where the scroller lies), up to maxListHeight.
constexpr int rowSpacing = 2;
constexpr int listPadding = 4;
constexpr int maxListHeight = 396;
constexpr int scrollAnimationMs = 100;
constexpr double dimmedOpacity = 0.45;

const QString aboutObjectName = u"kestrune-about"_s;

QString commandShortcut(quint32 keyCode) {
    return shortcutText(keyCode, KeyCodes::cmdKey);
}

QLabel* label(const QString& text, const QFont& font, const QColor& colour) {
    auto* label = new QLabel(text);
    label->setFont(font);
    QPalette palette;
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QWidget* divider(const QPalette& palette) {
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette linePalette;
    linePalette.setColor(QPalette::Window, PanelStyle::separator(palette));
    line->setPalette(linePalette);
    return line;
}

} // namespace

MenuBarContentView::MenuBarContentView(std::unique_ptr<MenuPanelModel> model, LockStore& store,
                                       AccessibilityManager& accessibility, About about, QWidget* parent)
    : QWidget(parent)
    , m_model(std::move(model))
    , m_about(std::move(about)) {
    setFixedWidth(panelWidth);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(u"Kestrune"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(8);
    const QPalette& palette = this->palette();

    // Header: display and name, then the master switch with its shortcut, on the first line's baseline.
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    m_displayName = label(QString(), PanelStyle::headline(font()), PanelStyle::primary(palette));
    titles->addWidget(m_displayName);
    auto* appName = label(u"Kestrune"_s, PanelStyle::smallCaption(font()), PanelStyle::secondary(palette));
    if (!m_about.hotKey.isEmpty())
        appName->setToolTip(u"Opens with %1"_s.arg(m_about.hotKey));
    titles->addWidget(appName);
    header->addLayout(titles, 1);
    const QString masterShortcut = commandShortcut(KeyCodes::L);
    auto* shortcutLabel =
        label(masterShortcut, PanelStyle::monospacedCaption(font()), PanelStyle::secondary(palette));
    // Both set from their tops, so that equal ascents mean equal baselines.
    m_displayName->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    shortcutLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QFontMetrics nameMetrics(m_displayName->font());
    shortcutLabel->setContentsMargins(
        0, std::max(0, nameMetrics.ascent() - shortcutLabel->fontMetrics().ascent()), 0, 0);
    header->addWidget(shortcutLabel, 0, Qt::AlignTop);
    m_masterSwitch = new ToggleSwitch(ToggleSwitch::Size::Regular);
    m_masterSwitch->setAccessibleName(u"Locks enabled"_s);
    m_masterSwitch->setToolTip(u"Enable or disable all locks (%1)"_s.arg(masterShortcut));
    header->addWidget(m_masterSwitch, 0, Qt::AlignTop);
    connect(m_masterSwitch, &ToggleSwitch::clicked, this,
            [this](bool on) { m_model->setGloballyEnabled(on); });
    layout->addLayout(header);
    layout->addWidget(divider(palette));

    m_empty = label(u"No apps to lock."_s, PanelStyle::subheadline(font()), PanelStyle::secondary(palette));
    m_empty->setContentsMargins(0, 4, 0, 4);
    layout->addWidget(m_empty);

    m_list = new QScrollArea;
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setWidgetResizable(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);
    m_listContent = new QWidget;
    m_listContent->setAutoFillBackground(false);
    auto* rows = new QVBoxLayout(m_listContent);
    rows->setContentsMargins(0, listPadding, listPadding, listPadding);
    rows->setSpacing(rowSpacing);
    rows->addStretch();
    m_list->setWidget(m_listContent);
    new OverlayScrollBar(m_list);
    m_dimming = new QGraphicsOpacityEffect(m_listContent);
    m_dimming->setOpacity(dimmedOpacity);
    m_listContent->setGraphicsEffect(m_dimming);
    m_scrollAnimation = new QPropertyAnimation(m_list->verticalScrollBar(), "value", this);
    m_scrollAnimation->setDuration(scrollAnimationMs);
    m_scrollAnimation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_list->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this] { scrollToSelection(false); });
    layout->addWidget(m_list);
    layout->addWidget(divider(palette));

    auto* actions = new QVBoxLayout;
    actions->setSpacing(0);
    const auto addAction = [&](const QString& title, const QString& shortcut, auto&& onClick) {
        auto* row = new MenuActionRow(title, shortcut);
        connect(row, &MenuActionRow::clicked, this, onClick);
        actions->addWidget(row);
        m_actions.append(row);
    };
    addAction(u"Re-align all"_s, commandShortcut(KeyCodes::R),
              [this] { m_model->realignAllOnCurrentDisplay(); });
    addAction(u"Settings…"_s, commandShortcut(KeyCodes::Comma), [this] { m_model->openSettings(); });
    addAction(u"About"_s, QString(), [this] { showAbout(); });
    addAction(u"Quit"_s, commandShortcut(KeyCodes::Q), [this] { m_model->quit(); });
    layout->addLayout(actions);

    connect(m_model.get(), &MenuPanelModel::entriesChanged, this, &MenuBarContentView::rebuildList);
    connect(m_model.get(), &MenuPanelModel::selectionChanged, this, [this] {
        refresh();
        scrollToSelection(true);
    });
    connect(m_model.get(), &MenuPanelModel::flashChanged, this, &MenuBarContentView::refresh);
    connect(&store, &LockStore::rulesChanged, this, &MenuBarContentView::refresh);
    connect(&store, &LockStore::globallyEnabledChanged, this, &MenuBarContentView::refresh);
    connect(&accessibility, &AccessibilityManager::isTrustedChanged, this, &MenuBarContentView::refresh);
    rebuildList();
}

MenuBarContentView::~MenuBarContentView() {
    // The lines call the model; they go first, the model with the members.
    qDeleteAll(m_rows);
}

int MenuBarContentView::listHeight(qsizetype count) {
    const int lines = int(std::clamp<qsizetype>(count, 1, maxListHeight));
    return std::min(lines * (AppRow::lineHeight + rowSpacing) - rowSpacing + 2 * listPadding, maxListHeight);
}

bool MenuBarContentView::isListDimmed() const {
    return m_dimming->isEnabled();
}

void MenuBarContentView::rebuildList() {
    qDeleteAll(m_rows);
    m_rows.clear();
    auto* rows = static_cast<QVBoxLayout*>(m_listContent->layout());
    for (const MenuAppEntry& entry : m_model->entries()) {
        auto* row = new AppRow(*m_model, entry);
        rows->insertWidget(rows->count() - 1, row);
        m_rows.append(row);
    }
    const bool empty = m_rows.isEmpty();
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
    m_list->setFixedHeight(listHeight(m_rows.size()));
    // The panel's keys are its own: no control inside it takes the keyboard focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->setFocusPolicy(Qt::NoFocus);
    refresh();
}

void MenuBarContentView::refresh() {
    m_displayName->setText(m_model->displayTitle());
    const bool enabled = m_model->isGloballyEnabled();
    m_masterSwitch->setChecked(enabled);
    m_dimming->setEnabled(!enabled);
    // Inert rather than disabled: dimmed once, in its usual colours.
    m_listContent->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    for (AppRow* row : std::as_const(m_rows))
        row->refresh();
    m_actions.first()->setEnabled(m_model->canRealignAll());
}

void MenuBarContentView::scrollToSelection(bool animated) {
    const auto selected = std::find_if(m_rows.cbegin(), m_rows.cend(), [this](const AppRow* row) {
        return row->entry().bundleID == m_model->selectedID();
    });
    if (selected == m_rows.cend())
        return;
    // Only as far as needed to show the line whole, with the padding around it.
    QScrollBar* bar = m_list->verticalScrollBar();
    const int top = int(selected - m_rows.cbegin()) * (AppRow::lineHeight + rowSpacing);
    const int bottom = top + AppRow::lineHeight + 2 * listPadding;
    const int current = m_scrollAnimation->state() == QAbstractAnimation::Running
                            ? m_scrollAnimation->endValue().toInt()
                            : bar->value();
    int target = current;
    if (top < current)
        target = top;
    else if (bottom > current + m_list->viewport()->height())
        target = bottom - m_list->viewport()->height();
    target = std::clamp(target, bar->minimum(), bar->maximum());
    m_scrollAnimation->stop();
    if (!animated || !isVisible()) {
        bar->setValue(target);
        return;
    }
    if (target == bar->value())
        return;
    m_scrollAnimation->setStartValue(bar->value());
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

void MenuBarContentView::showAbout() {
    window()->close();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == aboutObjectName && widget->isVisible()) {
            widget->raise();
            widget->activateWindow();
            return;
        }
    }
    auto* box = new QMessageBox(
        QMessageBox::NoIcon, u"About Kestrune"_s,
        u"<h3>Kestrune</h3><p>Version %1</p>"
        u"<p>Keeps chosen applications' windows where you put them, on every display.</p>"_s.arg(
            m_about.version.toHtmlEscaped()),
        QMessageBox::Ok);
    box->setObjectName(aboutObjectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setIconPixmap(kestruneIcon().pixmap(64));
    box->show();
    box->raise();
    box->activateWindow();
}

void MenuBarContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    installEventFilter(this); // installed once however often it is shown
    if (!event->spontaneous()) {
        m_model->appear();
        setFocus();
    }
}

void MenuBarContentView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    removeEventFilter(this);
}

void MenuBarContentView::paintEvent(QPaintEvent*) {
    // The popup has no frame of its own: a hairline keeps it apart from windows of the same colour.
    QPainter p(this);
    p.setPen(PanelStyle::tertiary(palette()));
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

bool MenuBarContentView::eventFilter(QObject* watched, QEvent* event) {
    // Presses only: releases and everything the model does not claim go on to the popup as usual.
    if (watched == this && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto keyCode = KeyCodes::fromQtKey(key->key(), key->modifiers());
        return keyCode && m_model->handleKey(*keyCode, KeyCodes::toolkitFlags(key->modifiers()));
    }
    return QWidget::eventFilter(watched, event);
}
