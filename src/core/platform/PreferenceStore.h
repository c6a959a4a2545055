#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// The user's preferences: values by key, each a boolean, a number, a text or data. A typed read of a
// value of another kind gives nothing. Writes are synchronous.
class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;

    // The stored value as it is, of whatever kind; invalid when the key is absent.
    virtual QVariant value(const QString& key) const = 0;
    // Stores a value (bool, double, QString, QByteArray, or a value read back by value()).
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    // Forgets a key.
    virtual void remove(const QString& key) = 0;

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<double> numberValue(const QString& key) const;
    std::optional<QString> textValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;

    void setBool(const QString& key, bool value) { setValue(key, QVariant(value)); }
    void setNumber(const QString& key, double value) { setValue(key, QVariant(value)); }
    void setText(const QString& key, const QString& value) { setValue(key, QVariant(value)); }
    void setData(const QString& key, const QByteArray& value) { setValue(key, QVariant(value)); }

protected:
    PreferenceStore() = default;
    PreferenceStore(const PreferenceStore&) = default;
    PreferenceStore& operator=(const PreferenceStore&) = default;
};
