#include "core/desktop/FilePreferenceStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

const QString dataKey = u"data"_s;

QVariant fromJson(const QJsonValue& json) {
    switch (json.type()) {
    case QJsonValue::Bool:
        return json.toBool();
    case QJsonValue::Double:
        return json.toDouble();
    case QJsonValue::String:
        return json.toString();
    case QJsonValue::Object: {
        const QJsonObject object = json.toObject();
        const QJsonValue encoded = object.value(dataKey);
        if (object.size() == 1 && encoded.isString()) {
            auto decoded = QByteArray::fromBase64Encoding(encoded.toString().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
            if (decoded)
                return *decoded;
        }
        break;
    }
    default:
        break;
    }
    // Not one of the four kinds: kept verbatim, readable by no typed accessor.
    return QVariant::fromValue(json);
}

QJsonValue toJson(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return QJsonObject{{dataKey, QString::fromLatin1(value.toByteArray().toBase64())}};
    case QMetaType::QJsonValue:
        return value.toJsonValue();
    default:
        return QJsonValue::fromVariant(value);
    }
}

} // namespace

FilePreferenceStore::FilePreferenceStore(QString path)
    : m_path(std::move(path)) {
    read();
}

QVariant FilePreferenceStore::value(const QString& key) const {
    const QJsonValue json = m_values.value(key);
    return json.isUndefined() ? QVariant() : fromJson(json);
}

void FilePreferenceStore::setValue(const QString& key, const QVariant& value) {
    m_values.insert(key, toJson(value));
    m_lastWriteSucceeded = write();
}

void FilePreferenceStore::remove(const QString& key) {
    m_values.remove(key);
    m_lastWriteSucceeded = write();
}

void FilePreferenceStore::read() {
    QFile file(m_path);
    if (!file.exists())
        return;
    QJsonParseError error{};
    QJsonDocument document;
    if (file.open(QIODevice::ReadOnly))
        document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (document.isObject()) {
        m_values = document.object();
        return;
    }
    // Unreadable: keep it where the user can find it and start empty. When it cannot be moved, it must
    // not be overwritten either; writes try to move it again first.
    m_unreadableInPlace = !moveAside();
}

bool FilePreferenceStore::moveAside() {
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    QString target = m_path + u".unreadable-"_s + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + u".unreadable-"_s + stamp + u'-' + QString::number(n);
    if (!QFile::rename(m_path, target))
        return false;
    m_setAsidePath = target;
    return true;
}

bool FilePreferenceStore::write() {
    if (m_unreadableInPlace) {
        if (QFileInfo::exists(m_path) && !moveAside())
            return false;
        m_unreadableInPlace = false;
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(m_values).toJson(QJsonDocument::Indented));
    return file.commit();
}
