#include "core/picker/PlacementPicker.h"

#include "core/desktop/KeyCodes.h"

#include <array>

namespace {

// Main-row digit keys 1..9; keypad digits and 0 are not used.
constexpr std::array<quint32, 9> digitKeys{KeyCodes::Digit1, KeyCodes::Digit2, KeyCodes::Digit3,
                                           KeyCodes::Digit4, KeyCodes::Digit5, KeyCodes::Digit6,
                                           KeyCodes::Digit7, KeyCodes::Digit8, KeyCodes::Digit9};

// The digit of a main-row key code, or 0.
int digit(quint32 keyCode) {
    for (std::size_t i = 0; i < digitKeys.size(); ++i) {
        if (digitKeys[i] == keyCode)
            return int(i) + 1;
    }
    return 0;
}

} // namespace

PlacementPicker::PlacementPicker(PlacementOverlayFactory& overlays, PlacementKeyTapFactory& keyTaps,
                                 Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_overlays(overlays)
    , m_keyTaps(keyTaps)
    , m_scheduler(scheduler) {}

PlacementPicker::~PlacementPicker() {
    dismiss();
}

void PlacementPicker::show(const QList<PlacementOption>& options, std::function<void(int)> onChoose) {
    dismiss();
    if (options.isEmpty())
        return;
    m_onChoose = std::move(onChoose);
    m_optionCount = int(options.size());

    const QPointer<PlacementPicker> self(this);
    for (const PlacementOption& option : options) {
        const int index = option.index;
        auto window = m_overlays.showOverlay(option, [self, index] {
            if (self)
                self->choose(index);
        });
        if (window)
            m_windows.push_back(std::move(window));
    }

    // Only the keys that can mean something are hooked; every other key reaches the focused window.
    QList<quint32> keys{KeyCodes::Escape};
    for (int n = 1; n <= std::min<int>(m_optionCount, int(digitKeys.size())); ++n)
        keys.append(digitKeys[std::size_t(n - 1)]);
    m_keyTap = m_keyTaps.install(keys, [self](quint32 keyCode) { return self && self->handleKey(keyCode); });

    m_dismissWork = m_scheduler.schedule(dismissDelay, [self] {
        if (self)
            self->dismiss();
    });
}

void PlacementPicker::dismiss() {
    m_keyTap.reset();
    m_dismissWork.cancel();
    m_dismissWork = {};
    m_windows.clear();
    m_onChoose = nullptr;
    m_optionCount = 0;
}

bool PlacementPicker::handleKey(quint32 keyCode) {
    if (keyCode == KeyCodes::Escape) {
        dismiss();
        return true;
    }
    const int n = digit(keyCode);
    if (n == 0 || n > m_optionCount)
        return false;
    choose(n);
    return true;
}

void PlacementPicker::choose(int index) {
    auto onChoose = std::move(m_onChoose);
    dismiss();
    if (onChoose)
        onChoose(index);
}
