// Presswick in its real window, offscreen, against the private print system: the dashboard's "Open"
// on the Studio printer, "Pause printer", then the notice and the paused status after the refresh.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "host_test_main.h"
#include "launch.h"
#include "qt/host.h"

namespace {

namespace host_testing = presswick::host_testing;

constexpr int kPatienceMs = 20000;

QPushButton* button(const kora_ui::qt::Host& host, const char* control_id) {
    return host.findChild<QPushButton*>(QString::fromLatin1(control_id));
}

bool shows_text(const QWidget& widget, const QString& text) {
    for (auto* label : widget.findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisible()) {
            return true;
        }
    }
    return false;
}

bool shows_banner(const QWidget& widget, const QString& title) {
    for (auto* child : widget.findChildren<QWidget*>()) {
        if (child->accessibleName() == title && child->isVisible()) {
            return true;
        }
    }
    return false;
}

// The status label of the Studio printer's dashboard card, found from the card's own "Open" button.
bool studio_card_shows(const kora_ui::qt::Host& host, const QString& text) {
    auto* open = button(host, "presswick.device.open.Studio_printer");
    for (QWidget* level = open ? open->parentWidget() : nullptr; level && level != &host;
         level = level->parentWidget()) {
        if (shows_text(*level, text)) {
            return true;
        }
    }
    return false;
}

// Clicks the button with this id and label once it is on screen; widgets are rebuilt on every change,
// so the button is looked up afresh and clicked at once.
bool click_when_shown(kora_ui::qt::Host& host, const char* control_id, const QString& label) {
    const bool shown = QTest::qWaitFor(
        [&] {
            auto* found = button(host, control_id);
            return found && found->text() == label && found->isEnabled() && found->isVisible();
        },
        kPatienceMs);
    if (!shown) {
        return false;
    }
    QTest::mouseClick(button(host, control_id), Qt::LeftButton);
    return true;
}

class HostFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("CUPS_SERVER") == nullptr) {
            GTEST_SKIP() << "needs the private print system (scripts/sandbox.sh)";
        }
        host_testing::warnings().clear();
        host_ = std::make_unique<kora_ui::qt::Host>(presswick::launch::new_default_root());
        host_->resize(1280, 800);
        host_->show();
    }
    void TearDown() override {
        if (!host_) {
            return;
        }
        // Leave the shared print system as it was for the tests that follow.
        auto* toggle = button(*host_, "presswick.device.enabled");
        if (!toggle) {
            (void)click_when_shown(*host_, "presswick.device.open.Studio_printer", "Open");
        }
        if (click_when_shown(*host_, "presswick.device.enabled", "Resume printer")) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return shows_banner(*host_, "Printer resumed"); }, kPatienceMs));
        }
        host_.reset();
    }
    std::unique_ptr<kora_ui::qt::Host> host_;
};

TEST_F(HostFlow, PausingTheStudioPrinterFromTheDashboard) {
    ASSERT_TRUE(click_when_shown(*host_, "presswick.device.open.Studio_printer", "Open"))
        << "the dashboard never offered the Studio printer";
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows_text(*host_, "Studio printer"); }, kPatienceMs));
    ASSERT_TRUE(click_when_shown(*host_, "presswick.device.enabled", "Pause printer"));

    EXPECT_TRUE(QTest::qWaitFor([&] { return shows_banner(*host_, "Printer paused"); }, kPatienceMs));
    // The refresh after the change brings the dashboard back with the server's new state.
    EXPECT_TRUE(QTest::qWaitFor([&] { return studio_card_shows(*host_, "Paused"); }, kPatienceMs));
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

// Keys only: Tab to the Studio printer's "Open" and Enter; the device page starts with the focus on
// its first control; Tab to "Pause printer" and Space. The program then goes home with the notice: the
// focus starts that page too. A keyboard refresh there (which shows the loading view for a moment)
// ends with the focus on "Refresh" again.
std::string focus_name() {
    QWidget* focused = QApplication::focusWidget();
    return focused ? (focused->objectName() + " " + focused->accessibleName()).toStdString() : "nothing";
}

TEST_F(HostFlow, PausingFromTheKeyboardOnly) {
    QApplication::setActiveWindow(host_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(host_.get()));
    auto tab_to = [&](const char* control_id) {
        for (int step = 0; step < 100; ++step) {
            QWidget* focused = QApplication::focusWidget();
            if (focused && focused->objectName() == QLatin1String(control_id)) {
                return true;
            }
            QTest::keyClick(focused ? focused : host_.get(), Qt::Key_Tab);
        }
        return false;
    };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return button(*host_, "presswick.device.open.Studio_printer"); }, kPatienceMs));
    ASSERT_TRUE(tab_to("presswick.device.open.Studio_printer"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return button(*host_, "presswick.device.enabled") != nullptr; }, kPatienceMs));
    EXPECT_EQ(QApplication::focusWidget(), button(*host_, "presswick.back"))
        << "focus after the page change: " << focus_name();

    ASSERT_TRUE(tab_to("presswick.device.enabled"));
    EXPECT_EQ(button(*host_, "presswick.device.enabled")->text(), "Pause printer");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows_banner(*host_, "Printer paused"); }, kPatienceMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return studio_card_shows(*host_, "Paused"); }, kPatienceMs));
    EXPECT_EQ(QApplication::focusWidget(), button(*host_, "presswick.add"))
        << "focus after going home: " << focus_name();

    ASSERT_TRUE(tab_to("presswick.refresh"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host_->root().needs_idle_sync(); }, kPatienceMs));
    QTest::qWait(300);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "presswick.refresh")
        << "the refresh moved the focus to " << focus_name();
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

}  // namespace
