#include "null/QtScreenSource.h"

#include "core/desktop/DisplayIdentity.h"
#include "core/desktop/Geometry.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

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

QPointF QtScreenSource::primaryOrigin() {
    return primaryGeometry().topLeft();
}

QtScreenSource::QtScreenSource(std::function<QPointF()> pointer, QObject* parent)
    : ScreenSource(parent)
    , m_pointer(std::move(pointer)) {
    connect(this, &ScreenSource::screenParametersChanged, this, [this] { m_identities.clear(); });
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
    const QPointF p = mouseLocation();
    for (const Screen& screen : list) {
        if (containsPoint(screen.frame, p))
            return screen;
    }
    return list.isEmpty() ? std::nullopt : std::optional(list.first());
}

std::optional<QString> QtScreenSource::displayUUID(quint32 displayNumber) const {
    const QList<QScreen*> screens = orderedScreens();
    if (displayNumber == 0 || displayNumber > quint32(screens.size()))
        return std::nullopt;
    if (m_identities.isEmpty()) {
        // Identical monitors share an EDID: the identity names tell them apart by connector.
        QList<OutputEdid> outputs;
        for (const QScreen* screen : screens) {
            const QStringList files =
                QDir(u"/sys/class/drm"_s)
                    .entryList({u"card*-"_s + screen->name()}, QDir::Dirs | QDir::System);
            QFile file(u"/sys/class/drm/"_s + files.value(0) + u"/edid"_s);
            outputs.append(
                {screen->name(), true,
                 !files.isEmpty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()});
        }
        for (const auto& [connector, name] : DisplayIdentity::edidIdentityNames(outputs))
            m_identities.insert(connector, DisplayIdentity::identifier(name));
        for (const QScreen* screen : screens) {
            if (!m_identities.contains(screen->name()))
                m_identities.insert(
                    screen->name(),
                    DisplayIdentity::identifier(DisplayIdentity::monitorIdentityName(screen->name())));
        }
    }
    return m_identities.value(screens.at(displayNumber - 1)->name());
}

std::optional<QList<ScreenMode>> QtScreenSource::displayModes(quint32 displayNumber) const {
    const QList<QScreen*> screens = orderedScreens();
    if (displayNumber == 0 || displayNumber > quint32(screens.size()))
        return std::nullopt;
    const QSize pixels =
        screens.at(displayNumber - 1)->size() * screens.at(displayNumber - 1)->devicePixelRatio();
    return QList<ScreenMode>{{pixels.width(), pixels.height()}};
}

QPointF QtScreenSource::pointer() const {
    return m_pointer ? m_pointer() : QPointF(QCursor::pos());
}

QPointF QtScreenSource::mouseLocation() const {
    return rootToAppKit(QRectF(pointer(), QSizeF(1, 1)), primaryGeometry()).topLeft();
}
