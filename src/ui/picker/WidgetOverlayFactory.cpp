#include "ui/picker/WidgetOverlayFactory.h"

#include "ui/picker/PlacementOverlay.h"

#include <QPointer>

namespace {

class OverlayWindow final : public PlacementOverlayWindow {
public:
    explicit OverlayWindow(PlacementOverlay* widget)
        : m_widget(widget) {}
    // The widget may be in the middle of its own click handler: hide now, delete once it has returned.
    ~OverlayWindow() override {
        if (m_widget) {
            m_widget->hide();
            m_widget->deleteLater();
        }
    }

private:
    QPointer<PlacementOverlay> m_widget;
};

} // namespace

WidgetOverlayFactory::WidgetOverlayFactory(std::function<QRectF(const QRectF&)> toGlobal,
                                           std::function<bool()> isCompositing)
    : m_toGlobal(std::move(toGlobal))
    , m_isCompositing(std::move(isCompositing)) {}

std::unique_ptr<PlacementOverlayWindow> WidgetOverlayFactory::showOverlay(const PlacementOption& option,
                                                                          std::function<void()> onClick) {
    auto* widget = new PlacementOverlay(option.index, option.title, m_isCompositing && m_isCompositing(),
                                        std::move(onClick));
    widget->setGeometry(m_toGlobal(option.appKitFrame).toAlignedRect());
    widget->show();
    widget->raise();
    return std::make_unique<OverlayWindow>(widget);
}
