// The Qt host offscreen: a tree with every widget type is realized, a click runs a button's action,
// typing into the number input changes its cell, and Qt prints no warning meanwhile; icon glyphs,
// control metrics, and the file chooser portal on a private bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include "kora_ui/picker.h"
#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
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
    return boxed(Column()
                     .push(Text("Presswick", 28))
                     .push(Text("A caption", 13))
                     .push(Spacer(12))
                     .push(Banner(BannerStyle::failure, "Failed", "Details"))
                     .push(Banner(BannerStyle::caution, "Careful"))
                     .push(Banner(BannerStyle::confirmation, "Done & dusted"))
                     .push(Divider())
                     .push(widget::card::surface(
                         "Card title", Button("t.header", "Refresh").with_icon(76).on_action([] {}),
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
                     .push(IconWidget(5, 1.5F, 34))
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
        for (int code : {5, 18, 19, 23, 28, 38, 39, 60, 70, 76}) {
            SCOPED_TRACE(std::string(theme) + " icon " + std::to_string(code));
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
    EXPECT_EQ(qt::icon_origin(5), qt::IconOrigin::built_in);
    QIcon::setThemeName(desktop_theme);
    EXPECT_EQ(qt::icon_origin(12345), qt::IconOrigin::none);
    EXPECT_TRUE(qt::symbolic_icon(12345, tint).isNull());
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
        if (message.member() != "OpenFile") {
            return false;
        }
        parent_window = message.arguments().value(0).toString();
        const auto options = qdbus_cast<QVariantMap>(message.arguments().value(2));
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        request_path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                           .arg(sender, options.value("handle_token").toString());
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
