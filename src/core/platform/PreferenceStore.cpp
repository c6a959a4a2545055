#include "core/platform/PreferenceStore.h"

namespace {

template <typename T>
std::optional<T> typed(const QVariant& v, QMetaType::Type type) {
    if (v.typeId() != type)
        return std::nullopt;
    return v.value<T>();
}

} // namespace

std::optional<bool> PreferenceStore::boolValue(const QString& key) const {
    return typed<bool>(value(key), QMetaType::Bool);
}

std::optional<double> PreferenceStore::numberValue(const QString& key) const {
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toDouble();
    default:
        return std::nullopt;
    }
}

std::optional<QString> PreferenceStore::textValue(const QString& key) const {
    return typed<QString>(value(key), QMetaType::QString);
}

std::optional<QByteArray> PreferenceStore::dataValue(const QString& key) const {
    return typed<QByteArray>(value(key), QMetaType::QByteArray);
}
