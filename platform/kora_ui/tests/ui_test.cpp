// The Qt host offscreen: a tree with every widget type is realized, a click runs a button's action,
// typing into the number input changes its cell, and Qt prints no warning meanwhile; icon glyphs,
// control metrics, and the file chooser portal on a private bus.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "kora_ui/controls.h"
#include "kora_ui/credentials.h"
#include "kora_ui/picker.h"
#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
#include "qt/accessible.h"
#include "qt/actions_bus.h"
#include "qt/credentials_dialog.h"
#include "qt/desktop.h"
#include "qt/host.h"
#include "qt/icons.h"
#include "qt/metrics.h"
#include "qt/portal_pick.h"
#include "qt/style.h"

using namespace kora_ui;

namespace {
QStringList g_warnings;

void fail_on_warnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) {
        return;
    }
    if (message.contains("This plugin does not support propagateSizeHints()")) {
        return;
    }
    g_warnings << message;
}

struct Cells {
    LocalState<double> copies{1.0};
    LocalState<bool> two_sided{false};
    LocalState<std::size_t> mode{0};
    LocalState<CropSelection> crop{CropSelection::whole()};
    int pressed = 0;
};

WidgetPtr every_widget(Cells& cells) {
    auto pixels = std::make_shared<const std::vector<std::uint8_t>>(40 * 30 * 4, 200);
    return boxed(
        Column()
            .push(Text("Presswick", 28))
            .push(Text("A caption", 13))
            .push(Spacer(12))
            .push(Banner(BannerStyle::failure, "Failed", "Details"))
            .push(Banner(BannerStyle::caution, "Careful"))
            .push(Banner(BannerStyle::confirmation, "Done & dusted"))
            .push(Divider())
            .push(widget::card::surface(
                "Card title", Button("t.header", "Refresh").with_icon(Icon::refresh).on_action([] {}),
                Column()
                    .push(ProgressBar(0.4F).with_accessible_label("Level"))
                    .push(ProgressBar::indeterminate().with_accessible_label("Loading"))))
            .push(Card(Text("Plain card", 14)))
            .push(Row()
                      .push(Button("t.press", "Press & go").on_action([&cells] { ++cells.pressed; }))
                      .push(Spacer::flexible())
                      .push(NumberInput::from_state(cells.copies)
                                .with_range(1, 99)
                                .with_id("t.copies")
                                .with_accessible_label("Copies"))
                      .push(Toggle::from_state(cells.two_sided).with_accessible_label("Two-sided"))
                      .push(Text("Mode", 14))
                      .push(ToggleGroup("t.mode", "select", {"Colour", "Grey"}, cells.mode))
                      .push(Dropdown("Printer")
                                .with_id("t.printer")
                                .with_placeholder("Choose a printer")
                                .set_value_options({{"a", "Printer A"}, {"b", "Printer B"}})))
            .push(Container()
                      .with_child(Scrollable().with_child(Column().push(Text("Inside", 14))))
                      .flexible()
                      .min_width(100)
                      .max_width(600))
            .push(CardGrid(240, 400).push(Card(Text("One", 14))).push(Card(Text("Two", 14))))
            .push(Image(pixels, 40, 30).with_accessible_label("Picture"))
            .push(IconWidget(Icon::printer, 1.5F, 34))
            .push(PagePreview("Current document", 2, 5))
            .push(ImageCropEditor(pixels, 40, 30, cells.crop)));
}
}  // namespace

TEST(QtHost, RealizesEveryWidgetAndRunsControls) {
    g_warnings.clear();
    Cells cells;
    qt::Host host(every_widget(cells));
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    EXPECT_GE(host.realized_widgets(), 25u);

    auto* button = host.findChild<QPushButton*>("t.press");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Press && go");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(cells.pressed, 1);

    auto* spin = host.findChild<QSpinBox*>("t.copies");
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->accessibleName(), "Copies");
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, "7");
    EXPECT_EQ(cells.copies.get(), 7.0);
    QApplication::processEvents();
    host.pump();
    host.grab();
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

TEST(QtHost, RebuildKeepsTheOldTreeSafe) {
    Cells cells;
    qt::Host host(every_widget(cells));
    host.show();
    const auto before = host.rebuild_count();
    host.rebuild();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(host.rebuild_count(), before + 1);
    EXPECT_NE(host.findChild<QPushButton*>("t.press"), nullptr);
}

QWidget* named(const qt::Host& host, const char* accessible_name) {
    for (auto* child : host.findChildren<QWidget*>()) {
        if (child->accessibleName() == accessible_name) {
            return child;
        }
    }
    return nullptr;
}

TEST(QtHost, CardsSideBySideStackInANarrowWindow) {
    g_warnings.clear();
    auto panel = [](const char* title) {
        return widget::card::surface(title, Button(std::string("t.") + title, "Refresh").on_action([] {}),
                                     Column().push(Text("A sentence long enough to need some room", 14)));
    };
    qt::Host host(
        boxed(Column().push(Row().push(panel("Left")).push(panel("Right"))).push(Text("Below", 14))));
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    QWidget* left = named(host, "Left");
    QWidget* right = named(host, "Right");
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(left->mapTo(&host, QPoint()).y(), right->mapTo(&host, QPoint()).y());
    EXPECT_LT(left->mapTo(&host, QPoint()).x() + left->width(), right->mapTo(&host, QPoint()).x());

    host.resize(420, 800);
    QApplication::processEvents();
    QApplication::processEvents();
    const QRect left_now(left->mapTo(&host, QPoint()), left->size());
    const QRect right_now(right->mapTo(&host, QPoint()), right->size());
    EXPECT_GE(right_now.top(), left_now.bottom());
    EXPECT_EQ(left_now.left(), right_now.left());
    // Both fit inside the window, and what follows the row comes after both.
    EXPECT_LE(right_now.right(), host.width());
    QLabel* below = nullptr;
    for (auto* label : host.findChildren<QLabel*>()) {
        below = label->text() == "Below" ? label : below;
    }
    ASSERT_NE(below, nullptr);
    EXPECT_GE(below->mapTo(&host, QPoint()).y(), right_now.bottom());

    host.resize(1280, 800);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(left->mapTo(&host, QPoint()).y(), right->mapTo(&host, QPoint()).y());
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// Thirty cards of a column: those beyond the first few are realized once they scroll into view, and
// their controls then work as any other.
TEST(QtHost, LongListsRealizeTheirLaterCardsWhenShown) {
    g_warnings.clear();
    int pressed = -1;
    Column cards;
    for (int i = 0; i < 30; ++i) {
        cards.push(
            Column()
                .push(Text("Printer " + std::to_string(i), 18))
                .push(Text("Ready", 14))
                .push(Spacer(10))
                .push(ProgressBar(0.5F).with_accessible_label("Level"))
                .push(Text("Preferred printer", 13))
                .push(Row().push(Button("t.open." + std::to_string(i), "Open").on_action([&pressed, i] {
                    pressed = i;
                }))));
    }
    qt::Host host(boxed(Column().push(Text("Presswick", 28)).push(std::move(cards))));
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    ASSERT_NE(host.findChild<QPushButton*>("t.open.0"), nullptr);
    EXPECT_EQ(host.findChild<QPushButton*>("t.open.29"), nullptr)
        << "the last card was realized with the page";
    EXPECT_LT(host.realized_widgets(), 30u * 8u);

    auto* bar = host.scroll_area()->verticalScrollBar();
    for (int step = 0; step < 20 && !host.findChild<QPushButton*>("t.open.29"); ++step) {
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        QApplication::processEvents();
    }
    auto* last = host.findChild<QPushButton*>("t.open.29");
    ASSERT_NE(last, nullptr);
    QTest::mouseClick(last, Qt::LeftButton);
    EXPECT_EQ(pressed, 29);

    // A rebuild while later cards wait drops them with the old tree.
    host.rebuild();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_NE(host.findChild<QPushButton*>("t.open.0"), nullptr);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// Every icon code is a glyph of one symbolic set in one tint, drawn at the asked size and device pixel
// ratio, whether the desktop theme has it or only the built-in set does; never a Qt standard pixmap
// (those are coloured, so a fallback fails the single-tint check).
TEST(QtHost, IconCodesAreTintedSymbolicGlyphsAtAnySize) {
    const QColor tint(10, 200, 30);
    const QString desktop_theme = QIcon::themeName();
    for (const char* theme : {"no-such-theme", "Adwaita"}) {
        QIcon::setThemeName(theme);
        for (const auto& entry : kIcons) {
            const Icon code = entry.icon;
            SCOPED_TRACE(std::string(theme) + " icon " + std::string(entry.glyph));
            EXPECT_NE(qt::icon_origin(code), qt::IconOrigin::none);
            const QImage image = qt::symbolic_icon(code, tint).pixmap(QSize(24, 24), 2.0).toImage();
            ASSERT_EQ(image.size(), QSize(48, 48));
            int inked = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel.alpha() >= 64) {  // edges blend; some glyphs are drawn faint on purpose
                        ++inked;
                        const int off = std::abs(pixel.red() - tint.red()) +
                                        std::abs(pixel.green() - tint.green()) +
                                        std::abs(pixel.blue() - tint.blue());
                        EXPECT_LE(off, 12) << "at " << x << "," << y;
                    }
                }
            }
            EXPECT_GT(inked, 40);
        }
    }
    QIcon::setThemeName("no-such-theme");
    EXPECT_EQ(qt::icon_origin(Icon::printer), qt::IconOrigin::built_in);
    QIcon::setThemeName(desktop_theme);
    EXPECT_EQ(qt::icon_origin(static_cast<Icon>(12345)), qt::IconOrigin::none);
    EXPECT_TRUE(qt::symbolic_icon(static_cast<Icon>(12345), tint).isNull());
}

TEST(QtHost, ButtonsLeaveRoomToAimAndTheirTextRoomToBreathe) {
    Cells cells;
    qt::Host host(every_widget(cells));
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    for (auto* button : host.findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_GE(button->height(), qt::kControlHeight);
        const QString shown = button->text().replace("&&", "&");
        const int text = button->fontMetrics().horizontalAdvance(shown) +
                         (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
        const int padding = button->isCheckable() ? qt::kSegmentPadding : qt::kButtonPadding;
        EXPECT_GE(button->width(), text + 2 * padding);
    }
}

namespace {
// A file chooser portal on a private bus that answers OpenFile with a request handle and sends the
// response only when told.
class FakePortal final : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == "Close" && message.interface() == "org.freedesktop.portal.Request") {
            closed << message.path();
            connection.send(message.createReply());
            return true;
        }
        if (message.member() != "OpenFile") {
            return false;
        }
        parent_window = message.arguments().value(0).toString();
        const auto options = qdbus_cast<QVariantMap>(message.arguments().value(2));
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        request_path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                           .arg(sender, options.value("handle_token").toString());
        opened << request_path;
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request_path))));
        return true;
    }
    void answer(const QDBusConnection& connection, const QString& uri) const {
        auto signal = QDBusMessage::createSignal(request_path, "org.freedesktop.portal.Request", "Response");
        signal << 0u << QVariantMap{{"uris", QStringList{uri}}};
        connection.send(signal);
    }
    QString parent_window;
    QString request_path;
    QStringList opened;  // every request made, in order
    QStringList closed;  // every request closed by its caller
};

// A private session bus that activates nothing, so a portal installed on the machine stays out of it.
class PrivateBus {
  public:
    PrivateBus() {
        QFile config(m_dir.filePath("bus.conf"));
        if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly)) {
            return;
        }
        config.write(
            QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                           "</policy></busconfig>")
                .arg(m_dir.path())
                .toUtf8());
        config.close();
        m_daemon.start("dbus-daemon", {"--config-file", config.fileName(), "--nofork", "--print-address"});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000)) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    [[nodiscard]] const QString& address() const { return m_address; }

  private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

class PaintCounter final : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};
}  // namespace

// The portal request leaves the window painting while the chooser is open, names the window as its
// parent, and delivers the chosen file; with no portal on the bus the host's dialog opens, modal to
// the window.
TEST(QtHost, FileChooserPortalKeepsTheWindowPaintingAndNamesItsParent) {
    // A bus of our own that activates nothing, so a portal installed on the machine stays out of it.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile config(dir.filePath("bus.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                       "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                       "</policy></busconfig>")
            .arg(dir.path())
            .toUtf8());
    config.close();
    QProcess bus_daemon;
    bus_daemon.start("dbus-daemon", {"--config-file", config.fileName(), "--nofork", "--print-address"});
    if (!bus_daemon.waitForStarted(5000) || !bus_daemon.waitForReadyRead(5000)) {
        GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    }
    const QString address = QString::fromUtf8(bus_daemon.readLine()).trimmed();
    // The window's own connection to that bus (the session bus may be connected elsewhere already).
    ASSERT_TRUE(QDBusConnection::connectToBus(address, "kora-test-app").isConnected());
    auto portal_bus = QDBusConnection::connectToBus(address, "fake-portal");
    ASSERT_TRUE(portal_bus.isConnected());
    FakePortal portal;
    ASSERT_TRUE(portal_bus.registerVirtualObject("/org/freedesktop/portal/desktop", &portal));
    ASSERT_TRUE(portal_bus.registerService("org.freedesktop.portal.Desktop"));

    Cells cells;
    qt::Host host(every_widget(cells));
    host.resize(800, 600);
    host.show();
    QApplication::processEvents();
    PaintCounter counter;
    host.installEventFilter(&counter);
    auto previous = set_picker_backend(qt::make_desktop_picker(qApp, &host, true, "kora-test-app"));

    auto pending = PickRequest::open("Choose a document", "Print").all_files().send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !portal.request_path.isEmpty(); }, 5000))
        << "the portal was never asked";
    EXPECT_EQ(portal.parent_window, qt::portal_parent_window(&host));
    if (QGuiApplication::platformName() == "xcb") {
        EXPECT_EQ(portal.parent_window, QStringLiteral("x11:%1").arg(host.winId(), 0, 16));
    }
    // The chooser is open: the window still repaints and answers.
    for (int round = 0; round < 3; ++round) {
        const int before = counter.paints;
        host.update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > before; }, 1000)) << "no repaint";
        EXPECT_EQ(pending.try_take().kind, PickPoll::Kind::pending);
    }
    portal.answer(portal_bus, "file:///tmp/chosen%20file.pdf");
    PickPoll chosen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            chosen = pending.try_take();
            return chosen.kind != PickPoll::Kind::pending;
        },
        5000));
    EXPECT_EQ(chosen.kind, PickPoll::Kind::path);
    EXPECT_EQ(chosen.path, "/tmp/chosen file.pdf");

    // No portal: Qt's own dialog, modal to the window; closing it cancels.
    portal_bus.unregisterService("org.freedesktop.portal.Desktop");
    auto fallback = PickRequest::open("Choose a document", "Print").send();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = host.findChild<QFileDialog*>()) != nullptr; }, 5000));
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    dialog->reject();
    PickPoll closed;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            closed = fallback.try_take();
            return closed.kind != PickPoll::Kind::pending;
        },
        5000));
    EXPECT_EQ(closed.kind, PickPoll::Kind::cancelled);

    set_picker_backend(std::move(previous));
    host.removeEventFilter(&counter);
    QDBusConnection::disconnectFromBus("kora-test-app");
    QDBusConnection::disconnectFromBus("fake-portal");
    bus_daemon.kill();
    bus_daemon.waitForFinished(2000);
}

// A portal that accepts a request and never answers: asking again closes that request (Request.Close)
// and a new one reaches the portal; a portal that leaves the bus fails the request it held.
TEST(QtHost, AFileChooserThatNeverAnswersIsClosedAndAskedAfresh) {
    PrivateBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    }
    ASSERT_TRUE(QDBusConnection::connectToBus(bus.address(), "kora-test-app").isConnected());
    // Held only here, so that disconnecting really closes the portal's connection.
    std::optional<QDBusConnection> portal_bus = QDBusConnection::connectToBus(bus.address(), "hung-portal");
    ASSERT_TRUE(portal_bus->isConnected());
    FakePortal portal;
    ASSERT_TRUE(portal_bus->registerVirtualObject("/org/freedesktop/portal/desktop", &portal,
                                                  QDBusConnection::SubPath));
    ASSERT_TRUE(portal_bus->registerService("org.freedesktop.portal.Desktop"));
    Cells cells;
    qt::Host host(every_widget(cells));
    host.show();
    auto previous = set_picker_backend(qt::make_desktop_picker(qApp, &host, true, "kora-test-app"));

    std::optional<PendingPick> pending = PickRequest::open("Choose a document", "Print").send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.opened.size() == 1; }, 5000)) << "never asked";
    QTest::qWait(300);
    EXPECT_EQ(pending->try_take().kind, PickPoll::Kind::pending) << "the portal does not answer";
    // Asked again: the old request is dropped, which closes it, and a new one goes out.
    pending = PickRequest::open("Choose a document", "Print").send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.opened.size() == 2; }, 5000)) << "no new request";
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.closed.contains(portal.opened[0]); }, 5000))
        << "the hung request was not closed";
    EXPECT_FALSE(portal.closed.contains(portal.opened[1]));
    EXPECT_NE(portal.opened[0], portal.opened[1]);
    EXPECT_EQ(pending->try_take().kind, PickPoll::Kind::pending);

    // The portal leaves the bus (it crashed or was restarted): the pick fails instead of waiting on.
    portal_bus.reset();
    QDBusConnection::disconnectFromBus("hung-portal");
    PickPoll gone;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            gone = pending->try_take();
            return gone.kind != PickPoll::Kind::pending;
        },
        5000));
    EXPECT_EQ(gone.kind, PickPoll::Kind::failed);
    EXPECT_FALSE(gone.message.empty());

    // A restarted portal gets the next request.
    auto restarted_bus = QDBusConnection::connectToBus(bus.address(), "restarted-portal");
    FakePortal restarted;
    ASSERT_TRUE(restarted_bus.registerVirtualObject("/org/freedesktop/portal/desktop", &restarted,
                                                    QDBusConnection::SubPath));
    ASSERT_TRUE(restarted_bus.registerService("org.freedesktop.portal.Desktop"));
    pending = PickRequest::open("Choose a document", "Print").send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return restarted.opened.size() == 1; }, 5000));
    restarted.answer(restarted_bus, "file:///tmp/again.pdf");
    PickPoll chosen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            chosen = pending->try_take();
            return chosen.kind != PickPoll::Kind::pending;
        },
        5000));
    EXPECT_EQ(chosen.kind, PickPoll::Kind::path);
    EXPECT_EQ(chosen.path, "/tmp/again.pdf");

    // Without a portal the host's dialog opens; a withdrawn pick closes it too.
    restarted_bus.unregisterService("org.freedesktop.portal.Desktop");
    pending = PickRequest::open("Choose a document", "Print").send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.findChild<QFileDialog*>() != nullptr; }, 5000));
    pending.reset();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            auto* dialog = host.findChild<QFileDialog*>();
            return dialog == nullptr || !dialog->isVisible();
        },
        5000))
        << "the dialog stayed with nobody to answer";
    set_picker_backend(std::move(previous));
    QDBusConnection::disconnectFromBus("kora-test-app");
    QDBusConnection::disconnectFromBus("restarted-portal");
}

TEST(QtHost, CredentialsAreAskedInADialogModalToTheWindow) {
    Cells cells;
    qt::Host host(every_widget(cells));
    host.resize(800, 600);
    host.show();
    QApplication::processEvents();
    auto previous = set_credentials_backend(qt::make_credentials_dialog(qApp, &host));
    auto ask = [&](auto answer_in_dialog) {
        auto pending = CredentialsRequest("Sign in to office", "The office server asks.", "Sign in").send();
        QDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = host.findChild<QDialog*>();
                return dialog && dialog->isVisible();
            },
            5000));
        if (!dialog) {
            return CredentialsAnswer{};
        }
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        EXPECT_EQ(dialog->windowTitle(), "Sign in to office");
        answer_in_dialog(*dialog);
        CredentialsAnswer answer;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                answer = pending.try_take();
                return answer.kind != CredentialsAnswer::Kind::pending;
            },
            5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.findChild<QDialog*>() == nullptr; }, 5000));
        return answer;
    };
    auto field = [](QDialog& dialog, const QString& name) {
        for (auto* edit : dialog.findChildren<QLineEdit*>()) {
            if (edit->accessibleName() == name) {
                return edit;
            }
        }
        return static_cast<QLineEdit*>(nullptr);
    };

    // Named fields, the password hidden; Enter in the password field signs in.
    const auto given = ask([&](QDialog& dialog) {
        auto* user = field(dialog, "User name");
        auto* password = field(dialog, "Password");
        ASSERT_TRUE(user && password);
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        QTest::keyClicks(user, "ada");
        QTest::keyClicks(password, "s3cret");
        QTest::keyClick(password, Qt::Key_Return);
    });
    EXPECT_EQ(given.kind, CredentialsAnswer::Kind::given);
    EXPECT_EQ(given.user, "ada");
    EXPECT_EQ(given.password, "s3cret");

    // Escape cancels, and says nothing of what was typed.
    const auto cancelled = ask([&](QDialog& dialog) {
        QTest::keyClicks(field(dialog, "Password"), "half");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(cancelled.kind, CredentialsAnswer::Kind::cancelled);
    EXPECT_TRUE(cancelled.password.empty());

    // A dialog that goes away unanswered (its window closed) does not leave the asking thread waiting.
    const auto gone = ask([](QDialog& dialog) { delete &dialog; });
    EXPECT_EQ(gone.kind, CredentialsAnswer::Kind::failed);
    set_credentials_backend(std::move(previous));
}

namespace {
// A root like a program's: it shows one view and an action ("open-queue") installs another directly,
// outside any update, as an invocation from another program does.
class Switcher final : public Widget {
  public:
    explicit Switcher(std::function<WidgetPtr(int)> view) : m_view(std::move(view)), m_content(m_view(0)) {}
    std::string_view type_name() const override { return "test::Switcher"; }
    std::span<const WidgetPtr> children() const override { return {&m_content, 1}; }
    kora_actions::Outcome invoke_resource_operation_v2(std::uint8_t, std::string_view operation,
                                                       std::string_view) override {
        if (operation == "refresh") {
            install(m_shown);
        } else if (operation == "open-queue") {
            install(1);
        } else {
            return kora_actions::Outcome::not_handled();
        }
        return kora_actions::Outcome::handled();
    }
    void install(int view) {
        m_shown = view;
        m_content = m_view(view);  // the old tree is freed now
    }

  private:
    std::function<WidgetPtr(int)> m_view;
    WidgetPtr m_content;
    int m_shown = 0;
};

// View 0: a dashboard of printer cards with "Open" buttons; view 1: the queue.
// A tone, when given, is the first card's.
WidgetPtr dashboard_or_queue(int view, std::vector<int>& opened, const std::string& status = "Ready",
                             std::optional<BannerStyle> tone = std::nullopt) {
    if (view == 1) {
        return boxed(Column()
                         .push(Text("Print queue", 28))
                         .push(Button("t.queue.back", "Presswick").with_icon(Icon::back).on_action([] {})));
    }
    Column page;
    page.push(Text("Presswick", 28));
    for (int i = 0; i < 3; ++i) {
        auto card = widget::card::surface(
            "Printer " + std::to_string(i), std::nullopt,
            Column()
                .push(Text(status, 14))
                .push(Button("t.open." + std::to_string(i), "Open").on_action([&opened, i] {
                    opened.push_back(i);
                })));
        page.push(i == 0 && tone ? std::move(card).with_tone(*tone) : std::move(card));
    }
    return boxed(std::move(page));
}

bool shows_label(const QWidget& host, const QString& text) {
    for (auto* label : host.findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisible()) {
            return true;
        }
    }
    return false;
}
}  // namespace

// An invocation replaces the view behind the host's back; a click on a control of the old view then
// reaches no freed memory, and the new view shows. After a refresh (an equal view installed), a click
// on a kept button reaches its control in the new tree.
TEST(QtHost, ControlsReachTheCurrentTreeAfterAnInvocationReplacedIt) {
    g_warnings.clear();
    std::vector<int> opened;
    auto owned = std::make_unique<Switcher>([&opened](int view) { return dashboard_or_queue(view, opened); });
    Switcher& root = *owned;
    qt::Host host(std::move(owned));
    host.show();
    QApplication::processEvents();

    QPointer<QPushButton> open = host.findChild<QPushButton*>("t.open.1");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(qt::route_invocation(root, 0, "refresh", "{}").kind, kora_actions::Outcome::Kind::handled);
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<int>{1});
    EXPECT_EQ(host.findChild<QPushButton*>("t.open.1"), open.data()) << "an equal view keeps its widgets";

    EXPECT_EQ(qt::route_invocation(root, 0, "open-queue", "{}").kind, kora_actions::Outcome::Kind::handled);
    ASSERT_FALSE(open.isNull());
    QTest::mouseClick(open, Qt::LeftButton);  // the old view's button, not yet gone from the screen
    EXPECT_EQ(opened, std::vector<int>{1}) << "a control of a replaced view acted";
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_TRUE(shows_label(host, "Print queue"));
    EXPECT_EQ(host.findChild<QPushButton*>("t.open.1"), nullptr);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// A refresh that changes one card's status patches that label only: focus, the other widgets and the
// inner scroll position stay; a segment chosen by click or by an action is what the strip shows. A card
// that takes a tone shows it, and its button still reaches its control.
TEST(QtHost, ARefreshPatchesOnlyWhatChanged) {
    g_warnings.clear();
    std::vector<int> opened;
    std::string status = "Ready";
    std::optional<BannerStyle> tone;
    LocalState<std::size_t> mode{0};
    std::vector<bool> unavailable;
    auto view = [&](int) {
        return boxed(Column()
                         .push(dashboard_or_queue(0, opened, status, tone))
                         .push(ToggleGroup("t.mode", "select", {"150 dpi", "300 dpi", "600 dpi"}, mode)
                                   .with_disabled(unavailable)));
    };
    auto owned = std::make_unique<Switcher>(view);
    Switcher& root = *owned;
    qt::Host host(std::move(owned));
    host.setWindowTitle("Presswick");
    host.show();
    QApplication::setActiveWindow(&host);
    QApplication::processEvents();
    QPointer<QPushButton> open = host.findChild<QPushButton*>("t.open.2");
    ASSERT_NE(open, nullptr);
    open->setFocus();
    const auto made = host.realized_widgets();

    status = "Paused";
    root.install(0);
    EXPECT_TRUE(host.pump());
    EXPECT_EQ(host.realized_widgets(), made) << "a changed text made widgets afresh";
    EXPECT_EQ(host.findChild<QPushButton*>("t.open.2"), open.data());
    EXPECT_EQ(QApplication::focusWidget(), open.data());
    EXPECT_TRUE(shows_label(host, "Paused"));
    EXPECT_FALSE(shows_label(host, "Ready"));

    auto segments = host.findChild<QWidget*>("t.mode")->findChildren<QPushButton*>();
    ASSERT_EQ(segments.size(), 3);
    auto highlighted = [&segments](int index) {
        return segments[index]->isChecked() && segments[index]->palette().color(QPalette::Button) !=
                                                   segments[0]->palette().color(QPalette::Button);
    };
    QTest::mouseClick(segments[2], Qt::LeftButton);
    host.pump();
    EXPECT_EQ(mode.get(), 2u);
    EXPECT_TRUE(highlighted(2));
    EXPECT_EQ(invoke_control(root, 0, kSegmentedSelectOperation, R"({"control":"t.mode","index":1})").kind,
              kora_actions::Outcome::Kind::handled);
    host.pump();
    EXPECT_TRUE(segments[1]->isChecked());
    EXPECT_FALSE(segments[2]->isChecked());
    // A segment that becomes unavailable is greyed and cannot be clicked.
    unavailable = {false, false, true};
    root.install(0);
    host.pump();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto now = host.findChild<QWidget*>("t.mode")->findChildren<QPushButton*>();
    ASSERT_EQ(now.size(), 3);
    EXPECT_TRUE(now[1]->isEnabled());
    EXPECT_FALSE(now[2]->isEnabled());
    QTest::mouseClick(now[2], Qt::LeftButton);
    host.pump();
    EXPECT_EQ(mode.get(), 1u);

    const QColor on_banner = qt::colour(theme::Theme::dark().on_banner);
    auto card_text = [&host] {
        return host.findChild<QPushButton*>("t.open.0")->parentWidget()->palette();
    };
    EXPECT_NE(card_text().color(QPalette::WindowText), on_banner);
    tone = BannerStyle::caution;
    root.install(0);
    EXPECT_TRUE(host.pump());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the card made before
    EXPECT_EQ(card_text().color(QPalette::WindowText), on_banner) << "the card kept its old tone";
    QTest::mouseClick(host.findChild<QPushButton*>("t.open.0"), Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<int>{0});
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// A control placed before others by a later tree is read before them (in the accessibility tree and
// in Tab order), only the changed part's Tab links move, and what widgets say is what readers hear:
// a back control by its place, a chosen choice as selected.
TEST(QtHost, WhatALaterTreeAddsIsReadInItsPlace) {
    g_warnings.clear();
    bool early = false;
    std::vector<std::string> pressed;
    auto view = [&](int) {
        Row strip;
        if (early) {
            strip.push(Button("t.first", "First").on_action([&] { pressed.push_back("first"); }));
        }
        strip.push(Button("t.second", "Second").on_action([] {}))
            .push(
                said(Button("t.third", "Third").on_action([] {}), early ? Meaning::selected : Meaning::none));
        return boxed(Column()
                         .push(said(Button("t.home", "Home").on_action([&] { pressed.push_back("home"); }),
                                    Meaning::back))
                         .push(std::move(strip)));
    };
    auto owned = std::make_unique<Switcher>(view);
    Switcher& root = *owned;
    qt::Host host(std::move(owned));
    host.show();
    QApplication::setActiveWindow(&host);
    QApplication::processEvents();
    early = true;
    root.install(0);
    host.pump();
    auto* first = host.findChild<QPushButton*>("t.first");
    auto* second = host.findChild<QPushButton*>("t.second");
    auto* third = host.findChild<QPushButton*>("t.third");
    ASSERT_TRUE(first && second && third);
    ASSERT_EQ(first->parentWidget(), second->parentWidget());
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(first->parentWidget());
    QStringList read;
    for (int i = 0; i < strip->childCount(); ++i) {
        read << strip->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(read, (QStringList{"First", "Second", "Third"}));
    auto after_tab = [](QWidget* from) {
        from->setFocus(Qt::TabFocusReason);
        QTest::keyClick(from, Qt::Key_Tab);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(after_tab(host.findChild<QPushButton*>("t.home")), first);
    EXPECT_EQ(after_tab(first), second);
    EXPECT_EQ(after_tab(second), third);

    const QString tree = qt::accessible::dump_tree(&host);
    EXPECT_TRUE(tree.contains("push button \"Back to Home\"")) << tree.toStdString();
    EXPECT_TRUE(tree.contains(QRegularExpression("push button \"Third\" \\[selected"))) << tree.toStdString();
    QTest::keyClick(&host, Qt::Key_Escape);
    EXPECT_EQ(pressed, std::vector<std::string>{"home"}) << "Escape presses the control said to go back";
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// Keys only: Tab walks the page in reading order (the cards realized after the first frame included),
// Enter and Space press, arrows move within segments, Escape goes back, the crop editor moves and
// resizes from the keyboard, and the focused button wears a ring its unfocused twin does not.
TEST(QtHost, EverythingWorksFromTheKeyboard) {
    g_warnings.clear();
    std::vector<std::string> pressed;
    LocalState<std::size_t> mode{0};
    LocalState<CropSelection> crop{CropSelection{0.2, 0.2, 0.8, 0.8}};
    auto pixels = std::make_shared<const std::vector<std::uint8_t>>(40 * 30 * 4, 200);
    auto press = [&pressed](std::string what) {
        return [&pressed, what] {
            pressed.push_back(what);
        };
    };
    Column cards;
    for (int i = 0; i < 12; ++i) {
        const auto id = "t.open." + std::to_string(i);
        cards.push(Column()
                       .push(Text("Printer " + std::to_string(i), 18))
                       .push(Text("Ready", 14))
                       .push(Spacer(10))
                       .push(ProgressBar(0.5F).with_accessible_label("Level"))
                       .push(Text("Preferred printer", 13))
                       .push(Row().push(Button(id, "Open").on_action(press(id)))));
    }
    qt::Host host(
        boxed(Column()
                  .push(Button("t.back", "Presswick").with_icon(Icon::back).on_action(press("back")))
                  .push(Text("Resolution", 14))
                  .push(ToggleGroup("t.mode", "select", {"150 dpi", "300 dpi", "600 dpi"}, mode))
                  .push(ImageCropEditor(pixels, 40, 30, crop))
                  .push(std::move(cards))));
    host.resize(900, 700);
    host.show();
    QApplication::setActiveWindow(&host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.findChild<QPushButton*>("t.open.11") != nullptr; }, 3000))
        << "the last card waited to be painted";

    auto* back = host.findChild<QPushButton*>("t.back");
    back->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int step = 0; step < 15; ++step) {
        QWidget* focused = QApplication::focusWidget();
        order << (focused->objectName().isEmpty() ? focused->accessibleName() : focused->objectName());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    // A segmented control is one stop (its chosen segment); the arrow keys move within it.
    QStringList expected{"t.back", "150 dpi", "Crop area"};
    for (int i = 0; i < 12; ++i) {
        expected << QStringLiteral("t.open.%1").arg(i);
    }
    EXPECT_EQ(order, expected);

    auto* open = host.findChild<QPushButton*>("t.open.3");
    open->setFocus(Qt::TabFocusReason);
    QTest::keyClick(open, Qt::Key_Return);
    QTest::keyClick(open, Qt::Key_Space);
    EXPECT_EQ(pressed, (std::vector<std::string>{"t.open.3", "t.open.3"}));
    // The ring: near-white at the focused button's edge, where its unfocused twin shows its own border.
    const QImage focused = open->grab().toImage();
    const QImage plain = host.findChild<QPushButton*>("t.open.4")->grab().toImage();
    const QPoint edge(open->width() / 2, 1);
    EXPECT_GE(QColor(focused.pixel(edge)).lightness(), 230);
    EXPECT_LT(QColor(plain.pixel(edge)).lightness(), 160);

    auto segments = host.findChild<QWidget*>("t.mode")->findChildren<QPushButton*>();
    segments[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(segments[0], Qt::Key_Right);
    host.pump();
    EXPECT_EQ(mode.get(), 1u);
    EXPECT_EQ(QApplication::focusWidget(), segments[1]);
    EXPECT_TRUE(segments[1]->isChecked());

    QWidget* editor = named(host, "Crop area");
    editor->setFocus(Qt::TabFocusReason);
    QTest::keyClick(editor, Qt::Key_Right);
    EXPECT_NEAR(crop.get().left, 0.21, 1e-9);
    EXPECT_NEAR(crop.get().right, 0.81, 1e-9);
    QTest::keyClick(editor, Qt::Key_Space);  // the top left corner
    QTest::keyClick(editor, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_NEAR(crop.get().left, 0.16, 1e-9);
    EXPECT_NEAR(crop.get().right, 0.81, 1e-9);

    // Escape first puts back the selection the editor had when it took the focus, then goes back.
    const auto presses = pressed.size();
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_NEAR(crop.get().left, 0.2, 1e-9);
    EXPECT_NEAR(crop.get().right, 0.8, 1e-9);
    EXPECT_EQ(pressed.size(), presses) << "the first Escape only undoes";
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(pressed.back(), "back");
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join("\n").toStdString();
}

// What a screen reader is told: the window is a frame named after the program, titles are headings,
// an ambiguous button names its card, segments are radio buttons in a named group, meters are
// progress bars with a value and no actions, images and previews have names, a banner is an alert.
TEST(QtHost, ScreenReadersAreToldWhatEachWidgetIs) {
    Cells cells;
    qt::Host host(every_widget(cells));
    host.setWindowTitle("Presswick");
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    const QString tree = qt::accessible::dump_tree(&host);
    for (const char* line :
         {"frame \"Presswick\"", "heading \"Presswick\"", "heading \"Card title\"",
          "push button \"Refresh\" (Card title)", "group \"Mode\"",
          "radio button \"Colour\" [checked] {Press, SetFocus}", "radio button \"Grey\" [not checked]",
          "progress bar \"Level\" = 40", "image \"Picture\"", "image \"Current document\" (Page 2 of 5)",
          "alert \"Failed\" (Details)"}) {
        EXPECT_TRUE(tree.contains(QString::fromUtf8(line))) << line << " is missing from\n"
                                                            << tree.toStdString();
    }
    EXPECT_FALSE(tree.contains("slider"));
    EXPECT_FALSE(tree.contains("check box \"Colour\""));
}

int main(int argc, char** argv) {
    // gtest_discover_tests runs this binary without the test environment.
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    qInstallMessageHandler(fail_on_warnings);
    QApplication application(argc, argv);
    qt::apply_dark_theme(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
