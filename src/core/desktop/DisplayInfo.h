#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// One connected display as the rest of the system sees it: the identifier locks store, the name users
// read, the frame size in points and, when the display lists modes, its largest pixel size.
struct DisplayInfo {
    QString id;
    QString name;
    double width = 0;
    double height = 0;
    std::optional<int> nativeWidth; // present exactly when nativeHeight is
    std::optional<int> nativeHeight;

    // The native pixel size as "3840×2160"; none without a native size.
    std::optional<QString> nativeResolutionText() const;

    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

size_t qHash(const DisplayInfo& info, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(DisplayInfo)
