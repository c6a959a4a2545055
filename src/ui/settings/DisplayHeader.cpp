#include "ui/settings/DisplayHeader.h"

#include "ui/settings/SettingsStyle.h"
#include "ui/shell/PanelStyle.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;
using namespace SettingsStyle;

DisplayHeader::DisplayHeader(const RuleGroup& group, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->setSpacing(6);

    auto* symbolLabel = new QLabel;
    const QColor symbolColour = group.isConnected ? PanelStyle::secondary(palette()) : orange(palette());
    symbolLabel->setPixmap(
        symbol(group.isConnected ? Symbol::Display : Symbol::DisplayWarning, symbolColour, 16));
    layout->addWidget(symbolLabel);

    auto* name = new QLabel(group.name);
    name->setTextFormat(Qt::PlainText);
    QFont font = name->font();
    font.setBold(true);
    name->setFont(font);
    layout->addWidget(name);

    if (const QString detail = group.detailText(); !detail.isEmpty()) {
        auto* label = new QLabel(detail);
        label->setTextFormat(Qt::PlainText);
        label->setFont(PanelStyle::caption(label->font()));
        setTextColour(label, PanelStyle::secondary(label->palette()));
        layout->addWidget(label);
    }
    if (!group.isConnected) {
        auto* label = new QLabel(u"(not connected)"_s);
        setTextColour(label, orange(label->palette()));
        layout->addWidget(label);
    }
}
