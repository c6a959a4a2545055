#include "kwin/KWinShortcuts.h"

#include "core/desktop/KeyCodes.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QKeyCombination>
#include <QKeySequence>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.kde.kglobalaccel"_s;
const QString component = u"kestrune"_s;
const QString panelAction = u"panel"_s;
// kglobalaccel's flags: the action is there now, and the keys given count rather than stored ones.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

QStringList actionID(const QString& action, const QString& text) {
    return {component, action, u"Kestrune"_s, text};
}

std::optional<int> combinedKey(quint32 keyCode, Qt::KeyboardModifiers modifiers) {
    const auto key = KeyCodes::toQtKey(keyCode);
    if (!key)
        return std::nullopt;
    return QKeyCombination(modifiers | key->second, Qt::Key(key->first)).toCombined();
}

} // namespace

class KWinShortcuts::Registration final : public GlobalHotKey, public PlacementKeyTap {
public:
    Registration(KWinShortcuts* owner, QString action, int id)
        : m_owner(owner)
        , m_action(std::move(action))
        , m_id(id) {}
    ~Registration() override {
        if (m_owner)
            m_owner->release(m_action, m_id);
    }

private:
    QPointer<KWinShortcuts> m_owner;
    QString m_action;
    int m_id;
};

namespace {

// The picker's keys as one tap.
class KeyTap final : public PlacementKeyTap {
public:
    std::vector<std::unique_ptr<KWinShortcuts::Registration>> keys;
};

} // namespace

KWinShortcuts::KWinShortcuts(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {
    m_bus.connect(service, u"/component/"_s + component, u"org.kde.kglobalaccel.Component"_s,
                  u"globalShortcutPressed"_s, this, SLOT(pressed(QString, QString, qlonglong)));
}

KWinShortcuts::~KWinShortcuts() {
    for (const auto& [action, holder] : m_actions)
        setKeys(action, {}, {});
}

bool KWinShortcuts::setKeys(const QString& action, const QString& text, const QList<int>& keys) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, u"/kglobalaccel"_s, u"org.kde.KGlobalAccel"_s,
                                                       u"doRegister"_s);
    call << actionID(action, text);
    if (m_bus.call(call, QDBus::Block, 2000).type() != QDBusMessage::ReplyMessage)
        return false;
    call = QDBusMessage::createMethodCall(service, u"/kglobalaccel"_s, u"org.kde.KGlobalAccel"_s,
                                          u"setShortcut"_s);
    call << actionID(action, text) << QVariant::fromValue(keys) << uint(setPresent | noAutoloading);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    // The keys it took; a combination held by another action is left out.
    const QList<int> taken = qdbus_cast<QList<int>>(reply.arguments().constFirst());
    return taken.value(0) == keys.value(0);
}

std::unique_ptr<KWinShortcuts::Registration> KWinShortcuts::take(const QString& action, const QString& text,
                                                                 int keys, std::function<void()> onPress) {
    if (!setKeys(action, text, {keys}))
        return nullptr;
    const int id = m_nextId++;
    m_actions[action] = Holder{id, std::move(onPress)};
    return std::make_unique<Registration>(this, action, id);
}

void KWinShortcuts::release(const QString& action, int id) {
    const auto it = m_actions.find(action);
    if (it == m_actions.end() || it->second.id != id)
        return;
    m_actions.erase(it);
    setKeys(action, {}, {});
}

void KWinShortcuts::pressed(const QString& from, const QString& action, qlonglong) {
    if (from != component)
        return;
    // The callback may release its own registration (and with it this copy's owner).
    const auto it = m_actions.find(action);
    if (it == m_actions.end())
        return;
    const std::function<void()> onPress = it->second.onPress;
    onPress();
}

std::unique_ptr<GlobalHotKey> KWinShortcuts::registerHotKey(quint32 keyCode, quint32 modifierMask,
                                                            std::function<void()> onPress) {
    const auto keys = combinedKey(keyCode, KeyCodes::qtModifiers(modifierMask));
    if (!keys)
        return nullptr;
    return take(panelAction, u"Show the Kestrune panel"_s, *keys, std::move(onPress));
}

std::unique_ptr<PlacementKeyTap> KWinShortcuts::install(const QList<quint32>& keyCodes,
                                                        std::function<bool(quint32)> onKey) {
    auto tap = std::make_unique<KeyTap>();
    for (quint32 keyCode : keyCodes) {
        const auto keys = combinedKey(keyCode, Qt::NoModifier);
        if (!keys)
            continue;
        const QString name = keyCode == KeyCodes::Escape
                                 ? u"escape"_s
                                 : QKeySequence(*keys).toString(QKeySequence::PortableText).toLower();
        auto registration = take(u"picker-"_s + name, u"Choose a placement: "_s + name, *keys,
                                 [onKey, keyCode] { onKey(keyCode); });
        if (registration)
            tap->keys.push_back(std::move(registration));
    }
    if (tap->keys.empty())
        return nullptr;
    return tap;
}
