#include "core/desktop/DisplayIdentity.h"

#include <QHash>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace DisplayIdentity {

namespace {

const QUuid identityNamespace(u"D0BCB309-8C85-4763-B633-6691E3767995"_s);

quint8 byteAt(const QByteArray& data, qsizetype i) {
    return quint8(data.at(i));
}

// The text of an 18-byte display descriptor: up to 13 characters ended by a line feed, space padded.
// Only printable ASCII is kept, so a broken block cannot put control characters into a name.
std::optional<QString> descriptorText(const QByteArray& block, qsizetype offset) {
    QString text;
    for (qsizetype i = offset + 5; i < offset + 18; ++i) {
        const quint8 c = byteAt(block, i);
        if (c == 0x0A || c == 0x00)
            break;
        if (c >= 0x20 && c < 0x7F)
            text.append(QLatin1Char(char(c)));
    }
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// Whether the connector names a laptop's own panel.
bool isBuiltInConnector(const QString& connector) {
    for (QStringView prefix : {u"eDP", u"LVDS", u"DSI"}) {
        if (connector.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool isValidEdid(const QByteArray& edid) {
    static const QByteArray header = QByteArray::fromHex("00ffffffffffff00");
    if (edid.size() < edidBlockSize || !edid.startsWith(header))
        return false;
    quint8 sum = 0;
    for (qsizetype i = 0; i < edidBlockSize; ++i)
        sum = quint8(sum + byteAt(edid, i));
    return sum == 0;
}

std::optional<QString> edidMonitorName(const QByteArray& edid) {
    if (!isValidEdid(edid))
        return std::nullopt;
    for (qsizetype offset : {54, 72, 90, 108}) {
        // Detailed timings start with a non-zero pixel clock; display descriptors with two zero bytes.
        if (byteAt(edid, offset) != 0 || byteAt(edid, offset + 1) != 0 || byteAt(edid, offset + 3) != 0xFC)
            continue;
        if (auto name = descriptorText(edid, offset))
            return name;
    }
    return std::nullopt;
}

QString edidIdentityName(const QByteArray& edid, const std::optional<QString>& connector) {
    QString name = u"edid:"_s + QString::fromLatin1(edid.left(edidBlockSize).toHex());
    if (connector)
        name += u'@' + *connector;
    return name;
}

QString monitorIdentityName(const QString& monitorName) {
    return u"monitor:"_s + monitorName;
}

QList<std::pair<QString, QString>> edidIdentityNames(const QList<OutputEdid>& outputs) {
    // Two panels of one model can report byte-identical EDIDs; only then does the connector count.
    QHash<QByteArray, int> connectedCount;
    for (const OutputEdid& o : outputs) {
        if (o.isConnected && isValidEdid(o.edid))
            ++connectedCount[o.edid.left(edidBlockSize)];
    }
    QList<std::pair<QString, QString>> names;
    for (const OutputEdid& o : outputs) {
        if (!isValidEdid(o.edid))
            continue;
        const bool shared = connectedCount.value(o.edid.left(edidBlockSize)) > 1;
        names.append(
            {o.connector, edidIdentityName(o.edid, shared ? std::optional(o.connector) : std::nullopt)});
    }
    return names;
}

QString identifier(const QString& identityName) {
    return QUuid::createUuidV5(identityNamespace, identityName.toUtf8())
        .toString(QUuid::WithoutBraces)
        .toUpper();
}

QString displayName(const std::optional<QString>& edidMonitorName, const std::optional<QString>& connector,
                    const QString& monitorName) {
    if (edidMonitorName)
        return *edidMonitorName;
    if (connector && isBuiltInConnector(*connector))
        return u"Built-in Display"_s;
    return monitorName;
}

} // namespace DisplayIdentity
