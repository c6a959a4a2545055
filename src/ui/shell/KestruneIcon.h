#pragma once

#include <QIcon>

// Kestrune's own icon: a padlock over two stacked window frames.
QIcon kestruneIcon();
