#pragma once

#include "core/model/LockRule.h"
#include "core/platform/PlatformTypes.h"

#include <QObject>
#include <QRectF>

#include <array>
#include <optional>

class DisplayMonitor;
class LockController;
class LockStore;
class ScreenSource;
class WindowAccess;

// One lock's editor in the settings window, without widgets: the edited rectangle (accessibility space),
// kept on the lock's display, with the running window following a drag live; nothing reaches the store
// until saveAndApply. Follows its lock in the store by id.
class RuleEditorModel : public QObject {
    Q_OBJECT

public:
    // The smallest window the editor sends.
    static constexpr double minimumWidth = 120;
    static constexpr double minimumHeight = 80;

    enum class Field { X, Y, W, H };

    RuleEditorModel(const LockRule& rule, LockStore& store, LockController& controller,
                    DisplayMonitor& displays, WindowAccess& windows, const ScreenSource& screens,
                    QObject* parent = nullptr);

    const LockRule& rule() const { return m_rule; }
    double value(Field field) const;
    // A typed number; applyTyped follows once the field is done with (Return, or the focus leaves).
    void setValue(Field field, double value);

    // The edited rectangle in whole points.
    QRectF editorRect() const;
    // What a window is sent: the edited rectangle, at least 120 x 80, in whole points.
    QRectF appliedRect() const;
    // Whether the edited rectangle differs from the saved one ("Apply now" is then emphasised).
    bool isEdited() const;
    QString applyToolTip() const;
    // "Saved @ 1512×982 · auto-scales to 1728×1117", when both are known.
    std::optional<QString> autoScaleNote() const;

    // A drag of one field by this many points from where it started (begins the drag on first use).
    void scrub(Field field, double translation);
    void endScrub();
    // A value was typed: the running window is sent the rectangle once; the store is not touched.
    void applyTyped();
    // "Apply now": stores the rectangle, re-based on the display's current frame, and has the engine
    // place the running application's window.
    void saveAndApply();

    void setEnabled(bool enabled);
    void setCascadeWindows(bool cascade);
    void remove();

Q_SIGNALS:
    // The lock changed in the store, or the display's size did: redraw the header and the note.
    void ruleChanged();
    void valuesChanged();

private:
    // "Saved @ 1512×982": the display size the lock was captured on.
    std::optional<QString> savedSizeText() const;
    // "1728×1117": the display's size now, only when it differs from the saved one in whole points.
    std::optional<QString> currentSizeText() const;
    // Keeps the edited rectangle on the lock's display (when it is connected): at least 120 x 80, at
    // most the display's size, and inside it.
    void clampToDisplay();
    // A drag of a field begins: the application's main window, if any, follows until it ends.
    void beginLiveEdit();
    // One step of a drag: the window gets the new rectangle unless it already has it.
    void liveApply();
    void endLiveEdit();
    void storeChanged();
    void loadValues();
    void setRect(const QRectF& rect);
    std::optional<QRectF> displayFrame() const;
    std::optional<WindowRef> mainWindow() const;

    LockRule m_rule;
    LockStore& m_store;
    LockController& m_controller;
    DisplayMonitor& m_displays;
    WindowAccess& m_windows;
    const ScreenSource& m_screens;
    std::array<double, 4> m_values{}; // x, y, w, h as edited
    bool m_isDragging = false;
    std::optional<WindowRef> m_dragWindow;
    std::optional<QRectF> m_lastApplied;
    std::optional<double> m_scrubStart;
};
