#include "core/platform/WindowBackend.h"

void WindowBackend::setFrame(WindowRef window, std::optional<QPointF> position, std::optional<QSizeF> size) {
    if (position)
        setPosition(window, *position);
    if (size)
        setSize(window, *size);
    if (position)
        setPosition(window, *position);
}
