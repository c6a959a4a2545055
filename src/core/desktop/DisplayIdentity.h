#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// One output as identification sees it: its connector name, whether a monitor is plugged in, and the
// raw EDID it reports (empty when none).
struct OutputEdid {
    QString connector;
    bool isConnected = false;
    QByteArray edid;
};

// How a monitor is recognised across reboots, re-plugging and reordering: a name-based UUID over its
// EDID (or, without one, over its RandR monitor name), never over a position or an index.
namespace DisplayIdentity {

constexpr qsizetype edidBlockSize = 128;

// Whether edid starts with a base block carrying the EDID header and a zero checksum.
bool isValidEdid(const QByteArray& edid);
// The monitor-name descriptor of a valid EDID base block (e.g. "DELL U2720Q"); none for anything else.
std::optional<QString> edidMonitorName(const QByteArray& edid);
// The name hashed for a monitor with a valid EDID; the connector is appended when another connected
// output reports the same EDID (two identical panels).
QString edidIdentityName(const QByteArray& edid, const std::optional<QString>& connector = std::nullopt);
// The name hashed for a monitor without a usable EDID.
QString monitorIdentityName(const QString& monitorName);
// The identity names of the outputs with a valid EDID, keyed by connector; outputs sharing an EDID
// with another connected output get their connector appended.
QList<std::pair<QString, QString>> edidIdentityNames(const QList<OutputEdid>& outputs);
// The canonical upper-case identifier text for an identity name.
QString identifier(const QString& identityName);
// The name users see: the EDID's monitor name, else "Built-in Display" for a laptop's own panel (eDP, LVDS,
// DSI), else the RandR monitor name.
QString displayName(const std::optional<QString>& edidMonitorName, const std::optional<QString>& connector,
                    const QString& monitorName);

} // namespace DisplayIdentity
