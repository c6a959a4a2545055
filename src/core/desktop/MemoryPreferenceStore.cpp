#include "core/desktop/MemoryPreferenceStore.h"

void MemoryPreferenceStore::setValue(const QString& key, const QVariant& value) {
    m_values.insert(key, value);
    ++m_writeCount;
}
