// The scan surfaces in the real Qt host, offscreen: the setup page's controls, the result page's
// crop editor dragged by its corner and the crop applied to the page, and where the keyboard's focus
// goes when pages are removed or a control under it goes away.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <filesystem>

#include "host_test_main.h"
#include "kora_ui/picker.h"
#include "qt/host.h"
#include "qt/painted.h"
#include "sample.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace {

namespace host_testing = presswick::host_testing;

// A window on the state of a named surface, given the sample snapshot so that its operations show
// their views as in a running window.
std::unique_ptr<kora_ui::qt::Host> show_with_snapshot(int surface_number) {
    host_testing::warnings().clear();
    auto state = presswick::sample::new_surface_state(surface_number);
    state->snapshot = presswick::sample::snapshot();
    state->install(presswick::views::build_scan_view(*state->snapshot, *state),
                   presswick::surface::shown::Scan{});
    auto host = std::make_unique<kora_ui::qt::Host>(std::move(state));
    host->resize(1280, 800);
    host->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    host->pump();
    return host;
}

kora_ui::qt::CropView* crop_view(const kora_ui::qt::Host& host) {
    for (auto* child : host.findChildren<QWidget*>()) {
        if (auto* view = dynamic_cast<kora_ui::qt::CropView*>(child)) {
            return view;
        }
    }
    return nullptr;
}

void send_mouse(QWidget* target, QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST(ScanHost, SetupPageOffersTheScannerAndEveryChoice) {
    const auto host = show_with_snapshot(8);
    EXPECT_EQ(host->findChild<QPushButton*>("presswick.scan.start"), nullptr) << "no scanner chosen yet";
    QPushButton* scanner = nullptr;
    for (auto* candidate : host->findChildren<QPushButton*>()) {
        scanner = candidate->objectName().startsWith("presswick.scan.device") ? candidate : scanner;
    }
    ASSERT_NE(scanner, nullptr);
    EXPECT_EQ(scanner->text(), "Studio scanner");
    QTest::mouseClick(scanner, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->findChild<QPushButton*>("presswick.scan.start"); }, 5000));
    auto* start = host->findChild<QPushButton*>("presswick.scan.start");
    EXPECT_EQ(start->text(), "Scan page");
    for (const char* group : {"presswick.scan.resolution", "presswick.scan.color", "presswick.scan.source",
                              "presswick.scan.language"}) {
        auto* strip = host->findChild<QWidget*>(group);
        ASSERT_NE(strip, nullptr) << group;
        EXPECT_TRUE(strip->isVisible()) << group;
        EXPECT_GE(strip->findChildren<QPushButton*>().size(), 2) << group;
    }
    EXPECT_EQ(crop_view(*host), nullptr);

    // A segment click selects that option in the window's state.
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    auto segments = host->findChild<QWidget*>("presswick.scan.resolution")->findChildren<QPushButton*>();
    ASSERT_EQ(segments.size(), 3);
    QTest::mouseClick(segments[2], Qt::LeftButton);
    EXPECT_EQ(state.scan_resolution.get(), 2U);
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

TEST(ScanHost, DraggingTheCropCornerThenApplyingCropsThePage) {
    const auto host = show_with_snapshot(9);
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    ASSERT_FALSE(state.pages.empty());
    const auto& before = state.pages[state.current_index];
    const auto width = before.width;
    const auto height = before.height;

    auto* view = crop_view(*host);
    ASSERT_NE(view, nullptr);
    const QRectF area = view->image_rect();
    ASSERT_FALSE(area.isEmpty());
    // The bottom-right handle, dragged to half the width and nine tenths of the height.
    const QPointF target(area.left() + 0.5 * area.width(), area.top() + 0.9 * area.height());
    send_mouse(view, QEvent::MouseButtonPress, area.bottomRight() - QPointF(2, 2), Qt::LeftButton);
    send_mouse(view, QEvent::MouseMove, target, Qt::LeftButton);
    send_mouse(view, QEvent::MouseButtonRelease, target, Qt::NoButton);
    const auto selection = state.crop_selection.get();
    EXPECT_DOUBLE_EQ(selection.left, 0.0);
    EXPECT_DOUBLE_EQ(selection.top, 0.0);
    EXPECT_NEAR(selection.right, 0.5, 0.01);
    EXPECT_NEAR(selection.bottom, 0.9, 0.01);

    host->pump();
    auto* apply = host->findChild<QPushButton*>("presswick.scan.apply-crop");
    ASSERT_NE(apply, nullptr);
    QTest::mouseClick(apply, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.pages[state.current_index].width < width; }, 5000));

    const auto& after = state.pages[state.current_index];
    EXPECT_NEAR(after.width, width * 0.5, 0.02 * width);
    EXPECT_NEAR(after.height, height * 0.9, 0.02 * height);
    EXPECT_EQ(after.pixels->size(), std::size_t{after.width} * after.height * 4);
    EXPECT_EQ(state.crop_selection.get(), kora_ui::CropSelection::whole());
    // The editor shown afterwards holds the cropped page: its picture has the new proportions.
    const double cropped_aspect = static_cast<double>(after.width) / after.height;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            auto* shown = crop_view(*host);
            const QRectF rect = shown ? shown->image_rect() : QRectF();
            return !rect.isEmpty() && std::abs(rect.width() / rect.height() - cropped_aspect) < 0.02;
        },
        5000));
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

// Answers every pick with one path.
class PathPicker final : public kora_ui::PickerBackend {
  public:
    explicit PathPicker(std::filesystem::path path) : m_path(std::move(path)) {}
    kora_ui::PickOutcome pick(const kora_ui::PickRequest&) override {
        return {kora_ui::PickOutcome::Kind::path, m_path, {}};
    }

  private:
    std::filesystem::path m_path;
};

QPushButton* question_button(const kora_ui::qt::Host& host, const char* name) {
    auto* box = host.close_question_box();
    return box ? box->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
}

TEST(ScanHost, ClosingWithAnUnsavedScanAsksFirst) {
    const auto host = show_with_snapshot(9);
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    state.document_version = 1;  // the page was never saved

    EXPECT_FALSE(host->close()) << "the window manager's close waits for the answer";
    EXPECT_TRUE(host->isVisible());
    auto* box = host->close_question_box();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), host.get());
    EXPECT_EQ(box->text(), "Save the scanned document before closing?");
    ASSERT_NE(question_button(*host, "kora.close-question.discard"), nullptr);
    EXPECT_EQ(question_button(*host, "kora.close-question.discard")->text(), "Close without saving");
    EXPECT_EQ(question_button(*host, "kora.close-question.cancel")->text(), "Cancel");
    EXPECT_EQ(question_button(*host, "kora.close-question.save")->text(), "Save…");
    EXPECT_FALSE(host->may_end_session()) << "a logout hears: not yet";
    EXPECT_FALSE(host->close());
    EXPECT_EQ(host->findChildren<QMessageBox*>().size(), 1) << "one question, however often asked";

    QTest::mouseClick(question_button(*host, "kora.close-question.cancel"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->close_question_box() == nullptr; }, 5000));
    EXPECT_TRUE(host->isVisible());
    EXPECT_EQ(state.pages.size(), 1U);

    // "Save…" runs the document's save and closes once the file is written.
    QTemporaryDir dir;
    const std::filesystem::path target = dir.filePath("kept.pdf").toStdString();
    auto previous = kora_ui::set_picker_backend(std::make_shared<PathPicker>(target));
    EXPECT_FALSE(host->close());
    QTest::mouseClick(question_button(*host, "kora.close-question.save"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->isVisible(); }, 10000)) << "closed after the save";
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_FALSE(state.has_unsaved_pages());
    kora_ui::set_picker_backend(std::move(previous));
    EXPECT_TRUE(host->may_end_session()) << "nothing left to lose";
}

TEST(ScanHost, CloseWithoutSavingClosesAtOnce) {
    const auto host = show_with_snapshot(9);
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    state.document_version = 1;
    EXPECT_FALSE(host->may_end_session());
    ASSERT_NE(host->close_question_box(), nullptr) << "the logout put the question up";
    QTest::mouseClick(question_button(*host, "kora.close-question.discard"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->isVisible(); }, 5000));
    EXPECT_TRUE(host->may_end_session());
    // Nothing unsaved: no question at all.
    const auto saved = show_with_snapshot(9);
    EXPECT_TRUE(saved->close());
    EXPECT_EQ(saved->close_question_box(), nullptr);
}

TEST(ScanHost, EscapeInTheCropEditorUndoesTheCropChangeThenGoesBack) {
    const auto host = show_with_snapshot(9);
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    host->activateWindow();
    auto* view = crop_view(*host);
    ASSERT_NE(view, nullptr);
    // A selection drawn before the editor took the focus is what Escape comes back to.
    const kora_ui::CropSelection drawn{0.1, 0.1, 0.9, 0.9};
    (void)state.crop_selection.publish(drawn);
    view->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->hasFocus(); }, 2000));
    QTest::keyClick(view, Qt::Key_Space);  // the top left corner
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Down);
    ASSERT_NE(state.crop_selection.get(), drawn);

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(state.crop_selection.get(), drawn) << "the change is undone";
    host->pump();
    EXPECT_TRUE(state.current_page.has_value()) << "and the page stays";
    EXPECT_TRUE(std::holds_alternative<presswick::surface::shown::Scan>(state.shown_view));

    // Nothing left to undo: Escape is the page's back.
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.current_page.has_value(); }, 5000));
    EXPECT_TRUE(std::holds_alternative<presswick::surface::shown::Home>(state.shown_view));
    EXPECT_EQ(state.pages.size(), 1U) << "the pages are kept";
}

QWidget* focused_control() {
    return QApplication::focusWidget();
}

// The shown control of that id (one made afresh leaves its old widget hidden until it is deleted).
QPushButton* shown(const kora_ui::qt::Host& host, const char* id) {
    for (auto* button : host.findChildren<QPushButton*>(id)) {
        if (button->isVisible()) {
            return button;
        }
    }
    return nullptr;
}

bool is_control(const QWidget* widget, const char* id) {
    return widget && widget->objectName() == QLatin1String(id);
}

// The focus never stays on, or lands by itself on, a control that removes or moves a page: after
// "Remove this page" it is on the page shown (the crop area), and once no page is left on "Scan page";
// when "Previous page" goes away under it (the first page reached) it moves to "Next page", not to
// "Move after next page".
TEST(ScanHost, FocusNeverRestsOnADestructiveControlAfterPagesChange) {
    const auto host = show_with_snapshot(9);
    auto& state = dynamic_cast<presswick::surface::Presswick&>(host->root());
    QApplication::setActiveWindow(host.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    const auto page = state.pages.front();
    state.pages = {page, page, page, page};
    state.current_index = 2;
    state.current_page = page;
    state.install(presswick::views::build_scan_view(*state.snapshot, state));
    host->pump();

    auto press = [&](const char* id) {
        auto* control = shown(*host, id);
        EXPECT_NE(control, nullptr) << id;
        if (!control) {
            return;
        }
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Space);
        host->pump();
        QApplication::processEvents();
        host->pump();
    };
    auto on_crop_area = [] {
        QWidget* focused = focused_control();
        return focused && focused->accessibleName() == "Crop area";
    };

    press("presswick.scan.delete-page");
    ASSERT_EQ(state.pages.size(), 3U);
    EXPECT_TRUE(on_crop_area()) << "focus on "
                                << qPrintable(focused_control() ? focused_control()->objectName() : "");
    // A second Space there removes nothing.
    QTest::keyClick(focused_control(), Qt::Key_Space);
    host->pump();
    EXPECT_EQ(state.pages.size(), 3U);

    // From the second page back to the first: "Previous page" goes with the press.
    ASSERT_EQ(state.current_index, 2U);
    press("presswick.scan.previous");
    press("presswick.scan.previous");
    ASSERT_EQ(state.current_index, 0U);
    EXPECT_EQ(shown(*host, "presswick.scan.previous"), nullptr);
    EXPECT_TRUE(is_control(focused_control(), "presswick.scan.next"))
        << "focus on " << qPrintable(focused_control() ? focused_control()->objectName() : "");

    // Moving a page is destructive too: the focus leaves the control for the page shown.
    press("presswick.scan.move-later");
    EXPECT_EQ(state.current_index, 1U);
    EXPECT_TRUE(on_crop_area());

    for (int left = 3; left > 0; --left) {
        press("presswick.scan.delete-page");
        ASSERT_EQ(state.pages.size(), static_cast<std::size_t>(left - 1));
    }
    // The setup page, with nothing to remove: its main control.
    EXPECT_TRUE(is_control(focused_control(), "presswick.scan.start"))
        << "focus on " << qPrintable(focused_control() ? focused_control()->objectName() : "");
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

}  // namespace
