#include "app/NullDesktopBackend.h"

#include "picker/PlacementPicker.h"
#include "platform/GlobalHotKey.h"
#include "platform/TrustSource.h"
#include "platform/WindowBackend.h"
#include "platform/Workspace.h"
#include "platform/x11/DisplayIdentity.h"
#include "ui/picker/PlacementOverlay.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

class NoWorkspace final : public Workspace {
public:
    QList<RunningApp> runningApplications() const override { return {}; }
    std::optional<RunningApp> frontmostApplication() const override { return std::nullopt; }
    bool activate(Pid) override { return false; }
    QVariant icon(Pid) const override { return {}; }
    QVariant iconForBundleID(const QString&) const override { return {}; }
    Pid currentProcessID() const override { return Pid(QCoreApplication::applicationPid()); }
    std::unique_ptr<WindowObserver> observeWindowCreation(Pid, std::function<void(WindowRef)>) override {
        return nullptr;
    }
};

class NoWindows final : public WindowBackend {
public:
    std::optional<WindowRef> mainWindow(Pid) const override { return std::nullopt; }
    std::optional<QList<WindowRef>> windows(Pid) const override { return std::nullopt; }
    std::optional<QString> subrole(WindowRef) const override { return std::nullopt; }
    std::optional<QPointF> position(WindowRef) const override { return std::nullopt; }
    std::optional<QSizeF> size(WindowRef) const override { return std::nullopt; }
    void setPosition(WindowRef, QPointF) override {}
    void setSize(WindowRef, QSizeF) override {}
    QSizeF nearestAcceptableSize(WindowRef, QSizeF requested) const override { return requested; }
    Pid pid(WindowRef) const override { return 0; }
};

class NeverTrusted final : public TrustSource {
public:
    bool isTrusted() const override { return false; }
    bool requestTrust() override { return false; }
};

class NoHotKeys final : public GlobalHotKeyService {
public:
    std::unique_ptr<GlobalHotKey> registerHotKey(quint32, quint32, std::function<void()>) override {
        return nullptr;
    }
};

class NoKeyTaps final : public PlacementKeyTapFactory {
public:
    std::unique_ptr<PlacementKeyTap> install(const QList<quint32>&, std::function<bool(quint32)>) override {
        return nullptr;
    }
};

QList<QScreen*> orderedScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary))
        screens.prepend(primary);
    return screens;
}

// Qt's global coordinates as AppKit space: y up from the primary screen's bottom-left corner.
QRectF appKitFrame(const QRect& geometry) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect p = primary ? primary->geometry() : QRect();
    const double y = p.y() + p.height() - (geometry.y() + geometry.height());
    return QRectF(geometry.x() - p.x(), y, geometry.width(), geometry.height());
}

} // namespace

struct NullDesktopBackend::Parts {
    NoWorkspace workspace;
    NoWindows windows;
    QtScreenSource screens;
    NeverTrusted trust;
    NoHotKeys hotKeys;
    NoKeyTaps keyTaps;
    WidgetOverlayFactory overlays{[](const QRectF& r) { return r; }, [] { return false; }};
};

NullDesktopBackend::NullDesktopBackend()
    : m_parts(std::make_unique<Parts>()) {}
NullDesktopBackend::~NullDesktopBackend() = default;

QString NullDesktopBackend::name() const {
    return u"none"_s;
}
Workspace& NullDesktopBackend::workspace() {
    return m_parts->workspace;
}
WindowBackend& NullDesktopBackend::windows() {
    return m_parts->windows;
}
ScreenSource& NullDesktopBackend::screens() {
    return m_parts->screens;
}
TrustSource& NullDesktopBackend::trust() {
    return m_parts->trust;
}
GlobalHotKeyService& NullDesktopBackend::hotKeys() {
    return m_parts->hotKeys;
}
PlacementOverlayFactory& NullDesktopBackend::overlays() {
    return m_parts->overlays;
}
PlacementKeyTapFactory& NullDesktopBackend::keyTaps() {
    return m_parts->keyTaps;
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
        list.append({quint32(i + 1), appKitFrame(screens.at(i)->geometry()), screens.at(i)->name()});
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
    return appKitFrame(QRect(p, QSize(1, 1))).topLeft();
}
