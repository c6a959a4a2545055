#pragma once

#include "core/model/LockRule.h"
#include "core/model/LockStore.h"

#include "TestFiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRectF>

#include <tuple>

inline const QString displayA = QStringLiteral("AAAAAAAA-0000-5000-8000-000000000001");
inline const QString displayB = QStringLiteral("BBBBBBBB-0000-5000-8000-000000000002");

// An enabled, cascading lock at frame, tied to display and its geometry at capture time when given.
inline LockRule testLock(const QString& bundleID, const QRectF& frame,
                         const std::optional<QString>& display = std::nullopt,
                         const std::optional<QRectF>& captured = std::nullopt) {
    LockRule r;
    r.id = QUuid::createUuid();
    r.bundleID = r.appName = bundleID;
    std::tie(r.x, r.y, r.width, r.height) = std::tuple(frame.x(), frame.y(), frame.width(), frame.height());
    r.requiredDisplayID = display;
    if (captured)
        std::tie(r.capturedDisplayOriginX, r.capturedDisplayOriginY, r.capturedDisplayWidth,
                 r.capturedDisplayHeight) =
            std::tuple(captured->x(), captured->y(), captured->width(), captured->height());
    return r;
}

// The frame a lock keeps.
inline QRectF frameOf(const LockRule& r) {
    return {r.x, r.y, r.width, r.height};
}

// The locks in a preference file as the application writes it; none when it holds none.
inline QList<LockRule> rulesInFile(const QString& path) {
    const QJsonValue data = QJsonDocument::fromJson(readFile(path)).object().value(LockStore::rulesKey);
    const QByteArray json =
        QByteArray::fromBase64(data.toObject().value(QStringLiteral("data")).toString().toLatin1());
    return decodeRules(json).value_or(QList<LockRule>());
}

// Replaces the preference file with one holding just these locks.
inline void writeRulesFile(const QString& path, const QList<LockRule>& rules) {
    const QString data = QString::fromLatin1(encodeRules(rules)->toBase64());
    const QJsonObject preferences{{LockStore::rulesKey, QJsonObject{{QStringLiteral("data"), data}}}};
    writeFile(path, QJsonDocument(preferences).toJson());
}
