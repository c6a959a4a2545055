#include "null/NullDesktopBackend.h"

#include "core/picker/PlacementPicker.h"
#include "core/platform/GlobalHotKey.h"
#include "core/platform/TrustSource.h"
#include "core/platform/WindowBackend.h"
#include "core/platform/Workspace.h"
#include "null/QtScreenSource.h"

#include <QCoreApplication>

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

} // namespace

struct NullDesktopBackend::Parts {
    NoWorkspace workspace;
    NoWindows windows;
    QtScreenSource screens;
    NeverTrusted trust;
    NoHotKeys hotKeys;
    NoKeyTaps keyTaps;
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
PlacementKeyTapFactory& NullDesktopBackend::keyTaps() {
    return m_parts->keyTaps;
}
QRectF NullDesktopBackend::globalFrame(const QRectF& appKitFrame) {
    return QtScreenSource::globalFrame(appKitFrame);
}
bool NullDesktopBackend::isCompositing() {
    return false;
}
