#include "SimScreens.h"

#include <stdexcept>

void SimScreens::addDisplay(const QString& uuid, const QRectF& frame, const QString& name,
                            std::optional<QList<ScreenMode>> modes, bool announce) {
    quint32 number = 1;
    for (const Display& d : std::as_const(displays))
        number = std::max(number, d.displayNumber.value_or(0) + 1);
    displays.append({number, uuid, frame, name.isEmpty() ? uuid.left(8) : name, std::move(modes)});
    if (announce)
        announceChange();
}

void SimScreens::removeDisplay(const QString& uuid, bool announce) {
    displays.removeIf([&](const Display& d) { return d.uuid == uuid; });
    if (announce)
        announceChange();
}

SimScreens::Display& SimScreens::display(const QString& uuid) {
    for (Display& d : displays) {
        if (d.uuid == uuid)
            return d;
    }
    throw std::out_of_range("no such display");
}

QList<Screen> SimScreens::screens() const {
    QList<Screen> list;
    for (const Display& d : displays)
        list.append({d.displayNumber, d.frame, d.name});
    return list;
}

std::optional<Screen> SimScreens::mainScreen() const {
    const QList<Screen> list = screens();
    for (qsizetype i = 0; i < list.size() && mainUuid; ++i) {
        if (displays.at(i).uuid == mainUuid)
            return list.at(i);
    }
    return list.isEmpty() ? std::nullopt : std::optional(list.first());
}

const SimScreens::Display* SimScreens::byNumber(quint32 displayNumber) const {
    for (const Display& d : displays) {
        if (d.displayNumber == displayNumber)
            return &d;
    }
    return nullptr;
}

std::optional<QString> SimScreens::displayUUID(quint32 displayNumber) const {
    const Display* d = byNumber(displayNumber);
    return d ? d->uuid : std::nullopt;
}

std::optional<QList<ScreenMode>> SimScreens::displayModes(quint32 displayNumber) const {
    const Display* d = byNumber(displayNumber);
    return d ? d->modes : std::nullopt;
}
