#pragma once

#include "core/platform/PreferenceStore.h"

#include <QJsonObject>

// Preferences in one JSON file, rewritten atomically at every change. Booleans, numbers and texts are
// plain JSON values, data is {"data": "<base64>"}; values of any other shape (a hand edit, a newer
// version) are kept as they are and written back untouched. A file that cannot be read is moved aside,
// never deleted, and the store starts empty.
class FilePreferenceStore final : public PreferenceStore {
public:
    explicit FilePreferenceStore(QString path);

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    QString path() const { return m_path; }
    // Where an unreadable file was moved when the store opened; empty when nothing was moved.
    QString setAsidePath() const { return m_setAsidePath; }
    // Whether the last change reached the disk. A failed write keeps the previous file intact and the
    // values in memory; the next change writes everything.
    bool lastWriteSucceeded() const { return m_lastWriteSucceeded; }

private:
    void read();
    bool moveAside();
    bool write();

    QString m_path;
    QString m_setAsidePath;
    QJsonObject m_values;
    bool m_unreadableInPlace = false;
    bool m_lastWriteSucceeded = true;
};
