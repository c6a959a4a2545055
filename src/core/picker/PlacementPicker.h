#pragma once

#include "core/picker/PlacementOverlayFactory.h"
#include "core/platform/PlacementKeyTapFactory.h"
#include "core/platform/Scheduler.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

// Asks the user to pick one of several places: a numbered panel at each, answered by a click or a digit
// key; Escape or six seconds without a choice dismiss them all. Reports only the chosen number.
class PlacementPicker : public QObject {
    Q_OBJECT

public:
    static constexpr Scheduler::Duration dismissDelay{6000};

    PlacementPicker(PlacementOverlayFactory& overlays, PlacementKeyTapFactory& keyTaps, Scheduler& scheduler,
                    QObject* parent = nullptr);
    ~PlacementPicker() override;

    // Replaces whatever is shown with one panel per option; onChoose gets the chosen number at most once,
    // after every panel is gone. An empty list shows nothing.
    void show(const QList<PlacementOption>& options, std::function<void(int)> onChoose);
    bool isShown() const { return !m_windows.empty(); }

private:
    // Takes everything down without choosing.
    void dismiss();
    // A key press seen by the tap; true when it was ours to swallow.
    bool handleKey(quint32 keyCode);
    void choose(int index);

    PlacementOverlayFactory& m_overlays;
    PlacementKeyTapFactory& m_keyTaps;
    Scheduler& m_scheduler;
    std::vector<std::unique_ptr<PlacementOverlayWindow>> m_windows;
    std::unique_ptr<PlacementKeyTap> m_keyTap;
    ScheduledTask m_dismissWork;
    std::function<void(int)> m_onChoose;
    int m_optionCount = 0;
};
