#pragma once

#include "core/platform/PreferenceStore.h"

#include <QHash>

// Preferences that live only as long as the object: for tests and for sessions that must not persist.
class MemoryPreferenceStore final : public PreferenceStore {
public:
    QVariant value(const QString& key) const override { return m_values.value(key); }
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override { m_values.remove(key); }

    // How many writes reached the store, so tests can tell "saved" from "left alone".
    int writeCount() const { return m_writeCount; }

private:
    QHash<QString, QVariant> m_values;
    int m_writeCount = 0;
};
