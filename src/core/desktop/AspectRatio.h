#pragma once

#include <QString>

#include <optional>

// A short ratio text for a display size: the common ratio it is within 4 % of ("16:9", "21:9"), else
// the exact reduced ratio of the rounded sizes ("6:5"). None for sizes that are not positive and finite.
std::optional<QString> aspectLabel(double width, double height);
