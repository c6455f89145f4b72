// The Qt host offscreen: a tree with every widget type is realized, a click runs a button's action,
// typing into the number input changes its cell, and Qt prints no warning meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>

#include "kora_ui/widgets.h"
#include "qt/host.h"
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
