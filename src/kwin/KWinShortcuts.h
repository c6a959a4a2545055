#pragma once

#include "core/platform/GlobalHotKey.h"
#include "core/platform/PlacementKeyTapFactory.h"

#include <QDBusConnection>
#include <QObject>

#include <map>

// Global key combinations through the compositor's global-shortcut service (kglobalaccel): on Wayland
// only the compositor sees keys meant for other windows. Kestrune is one component there; the hot key is
// its action "panel", the placement picker's keys are "picker-<key>" while the picker shows. An action
// belongs to its newest registration; an older one going away leaves it alone.
class KWinShortcuts final : public QObject, public GlobalHotKeyService, public PlacementKeyTapFactory {
    Q_OBJECT

public:
    explicit KWinShortcuts(QDBusConnection bus, QObject* parent = nullptr);
    ~KWinShortcuts() override;

    std::unique_ptr<GlobalHotKey> registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                 std::function<void()> onPress) override;
    std::unique_ptr<PlacementKeyTap> install(const QList<quint32>& keyCodes,
                                             std::function<bool(quint32 keyCode)> onKey) override;

    // A registered action; destroying it releases the keys unless a newer registration took the action.
    class Registration;

private Q_SLOTS:
    void pressed(const QString& component, const QString& action, qlonglong timestamp);

private:
    struct Holder {
        int id;
        std::function<void()> onPress;
    };
    // Gives action these keys (Qt's combined key codes); the registration, or null when the service
    // refuses them (another program holds the combination) or is not there.
    std::unique_ptr<Registration> take(const QString& action, const QString& text, int keys,
                                       std::function<void()> onPress);
    void release(const QString& action, int id);
    bool setKeys(const QString& action, const QString& text, const QList<int>& keys);

    QDBusConnection m_bus;
    std::map<QString, Holder> m_actions;
    int m_nextId = 1;
};
