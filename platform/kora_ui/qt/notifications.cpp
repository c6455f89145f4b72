#include "qt/notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QWidget>
#include <map>

namespace kora_ui::qt {

namespace {

constexpr const char* service = "org.freedesktop.Notifications";
constexpr const char* path = "/org/freedesktop/Notifications";
constexpr const char* interface = "org.freedesktop.Notifications";

class DesktopNotifications final : public QObject, public notifications::Backend {
    Q_OBJECT
  public:
    DesktopNotifications(QWidget* window, QString app_name)
        : m_window(window), m_app_name(std::move(app_name)), m_bus(QDBusConnection::sessionBus()) {
        m_bus.connect(service, path, interface, "ActionInvoked", this, SLOT(action_invoked(uint, QString)));
        m_bus.connect(service, path, interface, "NotificationClosed", this, SLOT(closed(uint, uint)));
    }

    bool window_active() const override { return m_window && m_window->isActiveWindow(); }

    // Called on the window's thread; the server's answer (the notification's id) comes back later.
    void show(const notifications::Notification& notification) override {
        auto call = QDBusMessage::createMethodCall(service, path, interface, "Notify");
        call << m_app_name << uint(0) << QString() << QString::fromStdString(notification.title)
             << QString::fromStdString(notification.body) << QStringList{"default", tq("Show")}
             << QVariantMap() << int(-1);
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, target = notification.target](QDBusPendingCallWatcher* done) {
                    QDBusPendingReply<uint> reply = *done;
                    if (!reply.isError()) {
                        m_targets[reply.value()] = target;
                    }
                    done->deleteLater();
                });
    }

  private slots:
    void action_invoked(uint id, const QString& key) {
        const auto it = m_targets.find(id);
        if (it == m_targets.end() || key != "default") {
            return;
        }
        const auto target = it->second;
        m_targets.erase(it);
        if (m_window) {
            m_window->show();
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
            m_window->raise();
            m_window->activateWindow();
        }
        notifications::chosen(target);
    }
    void closed(uint id, uint) { m_targets.erase(id); }

  private:
    QPointer<QWidget> m_window;
    QString m_app_name;
    QDBusConnection m_bus;
    std::map<uint, std::string> m_targets;
};

}  // namespace

std::shared_ptr<notifications::Backend> make_desktop_notifications(QWidget* window,
                                                                   const std::string& app_name) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        return nullptr;
    }
    return std::make_shared<DesktopNotifications>(window, QString::fromStdString(app_name));
}

}  // namespace kora_ui::qt

#include "notifications.moc"
