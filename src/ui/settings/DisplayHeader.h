#pragma once

#include "ui/settings/SettingsModel.h"

#include <QWidget>

// The heading of one display's locks: a display symbol (a warning one in orange when the display is not
// connected), the display's name, its aspect ratio and native resolution, and "(not connected)".
class DisplayHeader : public QWidget {
    Q_OBJECT

public:
    explicit DisplayHeader(const RuleGroup& group, QWidget* parent = nullptr);
};
