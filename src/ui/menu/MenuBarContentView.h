#pragma once

#include "ui/menu/MenuPanelModel.h"

#include <QList>
#include <QWidget>

#include <memory>

class AccessibilityManager;
class AppRow;
class LockStore;
class MenuActionRow;
class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QScrollArea;
class ToggleSwitch;

// The tray panel: the display under the pointer and the master switch, the applications of that display
// (or "No apps to lock."), and the action lines. It draws its model and hands it the keys and clicks;
// while it is on screen it sees the popup's key presses before any of its controls does.
class MenuBarContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelWidth = 320;
    static constexpr int margin = 12;

    // What the panel says about Kestrune itself.
    struct About {
        QString version;
        QString hotKey; // the combination that opens the panel, in desktop notation
    };

    MenuBarContentView(std::unique_ptr<MenuPanelModel> model, LockStore& store,
                       AccessibilityManager& accessibility, About about, QWidget* parent = nullptr);
    ~MenuBarContentView() override;

    MenuPanelModel& model() { return *m_model; }
    // The list's height for count lines: it grows with the lines up to a limit, then scrolls.
    static int listHeight(qsizetype count);

    QLabel* displayLabel() const { return m_displayName; }
    ToggleSwitch* masterSwitch() const { return m_masterSwitch; }
    QLabel* emptyLabel() const { return m_empty; }
    QScrollArea* list() const { return m_list; }
    const QList<AppRow*>& rows() const { return m_rows; }
    const QList<MenuActionRow*>& actionRows() const { return m_actions; }
    // Whether the list is drawn dimmed and ignores the pointer.
    bool isListDimmed() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildList();
    void refresh();
    void scrollToSelection(bool animated);
    void showAbout();

    std::unique_ptr<MenuPanelModel> m_model;
    About m_about;
    QLabel* m_displayName;
    ToggleSwitch* m_masterSwitch;
    QLabel* m_empty;
    QScrollArea* m_list;
    QWidget* m_listContent;
    QGraphicsOpacityEffect* m_dimming;
    QPropertyAnimation* m_scrollAnimation;
    QList<AppRow*> m_rows;
    QList<MenuActionRow*> m_actions;
};
