#pragma once

#include <QWidget>

class AccessibilityManager;
class QLabel;
class QPushButton;

// One line that says whether Kestrune may move other applications' windows: a green check and
// "Accessibility access granted", or a red cross, "Accessibility access not granted" and a "Grant…"
// button that asks again. It follows the trust tracker by itself.
class AccessibilityStatusRow : public QWidget {
    Q_OBJECT

public:
    explicit AccessibilityStatusRow(AccessibilityManager& accessibility, QWidget* parent = nullptr);

private:
    void refresh();

    AccessibilityManager& m_accessibility;
    QLabel* m_symbol;
    QLabel* m_text;
    QPushButton* m_grant;
};
