#include "SimScreens.h"

quint32 SimScreens::addDisplay(const QString& uuid, const QRectF& frame, const QString& name,
                               std::optional<QList<ScreenMode>> modes, bool announce) {
    const quint32 number = m_nextNumber++;
    addRawDisplay({number, uuid, frame, name.isEmpty() ? uuid.left(8) : name, std::move(modes)}, announce);
    return number;
}

void SimScreens::addRawDisplay(const Display& display, bool announce) {
    m_displays.append(display);
    if (display.displayNumber && *display.displayNumber >= m_nextNumber)
        m_nextNumber = *display.displayNumber + 1;
    changed(announce);
}

void SimScreens::removeDisplay(const QString& uuid, bool announce) {
    const qsizetype i = indexOf(uuid);
    if (i >= 0)
        m_displays.removeAt(i);
    changed(announce);
}

void SimScreens::setFrame(const QString& uuid, const QRectF& frame, bool announce) {
    const qsizetype i = indexOf(uuid);
    if (i >= 0)
        m_displays[i].frame = frame;
    changed(announce);
}

void SimScreens::setOrder(const QStringList& uuids, bool announce) {
    QList<Display> ordered;
    for (const QString& uuid : uuids) {
        const qsizetype i = indexOf(uuid);
        if (i >= 0)
            ordered.append(m_displays.at(i));
    }
    for (const Display& d : std::as_const(m_displays)) {
        if (!d.uuid || !uuids.contains(*d.uuid))
            ordered.append(d);
    }
    m_displays = ordered;
    changed(announce);
}

QList<Screen> SimScreens::screens() const {
    QList<Screen> list;
    for (const Display& d : m_displays)
        list.append({d.displayNumber, d.frame, d.name});
    return list;
}

std::optional<Screen> SimScreens::mainScreen() const {
    if (m_displays.isEmpty())
        return std::nullopt;
    const qsizetype i = m_mainUuid ? indexOf(*m_mainUuid) : -1;
    const Display& d = m_displays.at(i >= 0 ? i : 0);
    return Screen{d.displayNumber, d.frame, d.name};
}

std::optional<QString> SimScreens::displayUUID(quint32 displayNumber) const {
    for (const Display& d : m_displays) {
        if (d.displayNumber == displayNumber)
            return d.uuid;
    }
    return std::nullopt;
}

std::optional<QList<ScreenMode>> SimScreens::displayModes(quint32 displayNumber) const {
    for (const Display& d : m_displays) {
        if (d.displayNumber == displayNumber)
            return d.modes;
    }
    return std::nullopt;
}

qsizetype SimScreens::indexOf(const QString& uuid) const {
    for (qsizetype i = 0; i < m_displays.size(); ++i) {
        if (m_displays.at(i).uuid == uuid)
            return i;
    }
    return -1;
}
