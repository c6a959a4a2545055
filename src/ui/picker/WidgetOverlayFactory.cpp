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
                                           std::function<bool()> isCompositing,
                                           std::function<void(const QString&, const QRect&)> place)
    : m_toGlobal(std::move(toGlobal))
    , m_isCompositing(std::move(isCompositing))
    , m_place(std::move(place)) {}

std::unique_ptr<PlacementOverlayWindow> WidgetOverlayFactory::showOverlay(const PlacementOption& option,
                                                                          std::function<void()> onClick) {
    auto* widget = new PlacementOverlay(option.index, option.title, m_isCompositing && m_isCompositing(),
                                        std::move(onClick));
    const QRect frame = m_toGlobal(option.appKitFrame).toAlignedRect();
    widget->setGeometry(frame);
    if (m_place)
        m_place(widget->windowTitle(), frame);
    widget->show();
    widget->raise();
    return std::make_unique<OverlayWindow>(widget);
}
