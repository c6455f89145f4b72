// The host's desktop notifications against a stand-in notification server on a private session bus:
// what is sent, and a chosen notification raising the window and handing back its target.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "kora_ui/notifications.h"
#include "qt/notifications.h"

namespace {

namespace notifications = kora_ui::notifications;

QString g_bus_address;

// Stands in for the desktop's notification server: records each Notify and answers an id.
class StandInServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    explicit StandInServer(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QStringList seen;
    QStringList actions;
    uint last_id = 0;

  public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& wanted_actions, const QVariantMap&, int) {
        seen << app + "|" + summary + "|" + body;
        actions = wanted_actions;
        return ++last_id + 40;
    }
    void invoke(uint id, const QString& key) {
        auto signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                 "org.freedesktop.Notifications", "ActionInvoked");
        signal << id << key;
        m_bus.send(signal);
    }

  private:
    QDBusConnection m_bus;
};

template <class Pred>
bool spin_until(Pred pred, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!pred() && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return pred();
}

TEST(DesktopNotifications, SentToTheServerAndAChosenOneRaisesTheWindowWithItsTarget) {
    auto server_bus = QDBusConnection::connectToBus(g_bus_address, "stand-in");
    ASSERT_TRUE(server_bus.isConnected());
    StandInServer server(server_bus);
    ASSERT_TRUE(server_bus.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(server_bus.registerObject("/org/freedesktop/Notifications", &server,
                                          QDBusConnection::ExportAllSlots));
    QWidget window;
    auto backend = kora_ui::qt::make_desktop_notifications(&window, "Presswick");
    ASSERT_NE(backend, nullptr);
    auto chosen = notifications::listen_for_chosen();
    (void)notifications::set_backend(backend);
    EXPECT_FALSE(notifications::window_active());  // never shown, so not active

    EXPECT_TRUE(notifications::show({"Printed: report.pdf", "", "queue"}));
    EXPECT_TRUE(
        notifications::show({"Studio printer needs attention", "Add paper to continue.", "device:Studio"}));
    ASSERT_TRUE(spin_until([&] { return server.seen.size() == 2; }));
    EXPECT_EQ(server.seen[0].toStdString(), "Presswick|Printed: report.pdf|");
    EXPECT_EQ(server.seen[1].toStdString(),
              "Presswick|Studio printer needs attention|Add paper to continue.");
    EXPECT_TRUE(server.actions.contains("default"));
    QApplication::processEvents();  // the answers (the ids) come back

    // Another action of the first, or an id not ours, changes nothing; the default one of the second does.
    server.invoke(41, "other");
    server.invoke(99, "default");
    server.invoke(42, "default");
    std::optional<std::string> target;
    ASSERT_TRUE(spin_until([&] {
        if (auto got = chosen.try_recv(); got.status == kora_ui::RecvStatus::value) {
            target = *got.value;
        }
        return target.has_value();
    }));
    EXPECT_EQ(target, "device:Studio");
    EXPECT_TRUE(window.isVisible());
    QApplication::processEvents();
    EXPECT_EQ(chosen.try_recv().status, kora_ui::RecvStatus::empty);  // nothing else came
    (void)notifications::set_backend(nullptr);
    EXPECT_FALSE(notifications::show({"x", "", ""}));
    EXPECT_TRUE(notifications::window_active());
}

// A private session bus for this process, gone with it.
pid_t start_bus() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 3);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    char address[512] = {};
    const auto got = ::read(fds[0], address, sizeof address - 1);
    ::close(fds[0]);
    if (got <= 0) {
        return -1;
    }
    std::string text(address, static_cast<std::size_t>(got));
    text.erase(text.find_last_not_of("\n") + 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", text.c_str(), 1);
    g_bus_address = QString::fromStdString(text);
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    char runtime[] = "/tmp/notifications-test-XXXXXX";
    if (::mkdtemp(runtime)) {
        ::setenv("XDG_RUNTIME_DIR", runtime, 1);
    }
    const pid_t bus = start_bus();
    if (bus <= 0) {
        std::fprintf(stderr, "no dbus-daemon for a private session bus\n");
        return 1;
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    ::kill(bus, SIGTERM);
    ::waitpid(bus, nullptr, 0);
    ::rmdir(runtime);
    return result;
}

#include "notifications_test.moc"
