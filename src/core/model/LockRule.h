#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// One lock: an application, named by its bundle identifier, pinned to a frame in accessibility space,
// either on one display or on whichever display it is shown. A plain value; fields are in their stored
// order.
struct LockRule {
    QUuid id;
    QString bundleID;
    QString appName;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    std::optional<QString> requiredDisplayID;
    std::optional<QString> requiredDisplayName;
    bool isEnabled = true;
    bool cascadeWindows = true;
    std::optional<double> capturedDisplayOriginX;
    std::optional<double> capturedDisplayOriginY;
    std::optional<double> capturedDisplayWidth;
    std::optional<double> capturedDisplayHeight;

    // Memberwise: texts by canonical equivalence, numbers numerically (0 == -0).
    friend bool operator==(const LockRule& a, const LockRule& b);
};

// Texts compared as Unicode text: canonically equivalent spellings are the same text.
bool sameText(const QString& a, const QString& b);
bool sameText(const std::optional<QString>& a, const std::optional<QString>& b);

// The stored list: a UTF-8 JSON array of records in list order. Encoding fails as a whole on any
// non-finite number, decoding fails as a whole on any bad element.
std::optional<QByteArray> encodeRules(const QList<LockRule>& rules);
std::optional<QList<LockRule>> decodeRules(const QByteArray& json);

Q_DECLARE_METATYPE(LockRule)
