#include "null/QtScreenSource.h"

#include "core/desktop/DisplayIdentity.h"
#include "core/desktop/Geometry.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace {

QList<QScreen*> orderedScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary))
        screens.prepend(primary);
    return screens;
}

// The primary screen in Qt's global coordinates, which are the root coordinates here.
QRectF primaryGeometry() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? QRectF(primary->geometry()) : QRectF();
}

} // namespace

QRectF QtScreenSource::globalFrame(const QRectF& appKitFrame) {
    return appKitToRoot(appKitFrame, primaryGeometry());
}

QtScreenSource::QtScreenSource(QObject* parent)
    : ScreenSource(parent) {
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        Q_EMIT screenParametersChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenSource::screenParametersChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenSource::screenParametersChanged);
}

void QtScreenSource::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &ScreenSource::screenParametersChanged);
}

QList<Screen> QtScreenSource::screens() const {
    QList<Screen> list;
    const QList<QScreen*> screens = orderedScreens();
    for (qsizetype i = 0; i < screens.size(); ++i)
        list.append({quint32(i + 1), rootToAppKit(screens.at(i)->geometry(), primaryGeometry()),
                     screens.at(i)->name()});
    return list;
}

std::optional<Screen> QtScreenSource::mainScreen() const {
    const QList<Screen> list = screens();
    return list.isEmpty() ? std::nullopt : std::optional(list.first());
}

std::optional<QString> QtScreenSource::displayUUID(quint32 displayNumber) const {
    const QList<QScreen*> screens = orderedScreens();
    if (displayNumber == 0 || displayNumber > quint32(screens.size()))
        return std::nullopt;
    return DisplayIdentity::identifier(
        DisplayIdentity::monitorIdentityName(screens.at(displayNumber - 1)->name()));
}

std::optional<QList<ScreenMode>> QtScreenSource::displayModes(quint32 displayNumber) const {
    const QList<QScreen*> screens = orderedScreens();
    if (displayNumber == 0 || displayNumber > quint32(screens.size()))
        return std::nullopt;
    const QSize pixels =
        screens.at(displayNumber - 1)->size() * screens.at(displayNumber - 1)->devicePixelRatio();
    return QList<ScreenMode>{{pixels.width(), pixels.height()}};
}

QPointF QtScreenSource::mouseLocation() const {
    const QPoint p = QCursor::pos();
    return rootToAppKit(QRectF(p, QSizeF(1, 1)), primaryGeometry()).topLeft();
}
