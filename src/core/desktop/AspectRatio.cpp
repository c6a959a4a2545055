#include "core/desktop/AspectRatio.h"

#include <array>
#include <cmath>

namespace {

struct NamedRatio {
    QStringView label;
    double value;
};

// The order decides ties: an earlier ratio stays the nearest at equal distance.
const std::array<NamedRatio, 9> namedRatios{{
    {u"5:4", 1.25},
    {u"4:3", 4.0 / 3.0},
    {u"3:2", 1.5},
    {u"16:10", 1.6},
    {u"16:9", 16.0 / 9.0},
    {u"5:3", 5.0 / 3.0},
    {u"21:9", 21.0 / 9.0},
    {u"32:10", 3.2},
    {u"32:9", 32.0 / 9.0},
}};

// Euclid on whole numbers held in doubles, so sizes beyond any integer type still reduce exactly.
double greatestCommonDivisor(double a, double b) {
    a = std::fabs(a);
    b = std::fabs(b);
    while (b != 0) {
        const double r = std::fmod(a, b);
        a = b;
        b = r;
    }
    return a;
}

} // namespace

std::optional<QString> aspectLabel(double width, double height) {
    // Also refuses NaN (every comparison is false) and infinities, which have no ratio.
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    const double ratio = width / height;

    const NamedRatio* best = &namedRatios.front();
    double distance = std::fabs(best->value - ratio);
    for (const NamedRatio& named : namedRatios) {
        const double d = std::fabs(named.value - ratio);
        if (d < distance) {
            best = &named;
            distance = d;
        }
    }
    if (distance / ratio <= 0.04)
        return best->label.toString();

    // std::round rounds halves away from zero.
    const double w = std::round(width);
    const double h = std::round(height);
    const double g = greatestCommonDivisor(w, h);
    if (g < 1)
        return std::nullopt;
    return QString::number(w / g, 'f', 0) + u':' + QString::number(h / g, 'f', 0);
}
