// Presswick in its real window, offscreen, against the private print system: the dashboard's "Open"
// on the Studio printer, "Pause printer", then the notice and the paused status after the refresh.
#include <gtest/gtest.h>

#include <QLabel>
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

}  // namespace
