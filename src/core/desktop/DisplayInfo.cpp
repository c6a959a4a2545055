#include "core/desktop/DisplayInfo.h"

#include <QHashFunctions>

std::optional<QString> DisplayInfo::nativeResolutionText() const {
    if (!nativeWidth || !nativeHeight)
        return std::nullopt;
    return QString::number(*nativeWidth) + QChar(0x00D7) + QString::number(*nativeHeight);
}

size_t qHash(const DisplayInfo& info, size_t seed) noexcept {
    // Absent native values hash apart from any present value, 0 included.
    const auto native = [](const std::optional<int>& v) { return v ? qint64(*v) : qint64(-1) << 40; };
    return qHashMulti(seed, info.id, info.name, info.width, info.height, native(info.nativeWidth),
                      native(info.nativeHeight));
}
