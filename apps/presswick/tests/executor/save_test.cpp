// Saving: the two save pickers and what their results start.
#include <fstream>

#include <unistd.h>

#include "harness.h"

namespace presswick::testing {
namespace {

using kora_ui::PickOutcome;

class Saving : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        m_dir = std::filesystem::temp_directory_path() /
                ("presswick-exec-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        ExecutorTest::TearDown();
    }
    std::unique_ptr<Presswick> with_page() {
        auto state = loaded_root();
        surface::execute(*state, OpenScan{});
        surface::execute(*state, PageScanned{page(5)});
        return state;
    }
    std::filesystem::path m_dir;
};

TEST_F(Saving, SavePageWithoutAPageDoesNothing) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, SavePage{});
    EXPECT_FALSE(state->save_pick.has_value());
}

TEST_F(Saving, SavePageOpensThePagePicker) {
    auto state = with_page();
    picker->hold();
    state->save_as_document = true;
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(state->save_pick.has_value());
    EXPECT_FALSE(state->save_as_document);
    EXPECT_TRUE(state->needs_idle_sync());
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 1; }));
    const auto request = picker->requests().front();
    EXPECT_EQ(request.mode(), kora_ui::PickRequest::Mode::save);
    EXPECT_EQ(request.title(), "Save scanned page");
    EXPECT_EQ(request.accept_label(), "Save");
    EXPECT_EQ(request.suggested(), std::optional<std::string>("Scanned page.png"));
    EXPECT_EQ(request.picker_thread_name(), "presswick-scan-save-picker");
    EXPECT_EQ(spawned_count("presswick-scan-save-picker"), 1);
}

TEST_F(Saving, SaveDocumentNeedsPagesButNoCurrentPage) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, SaveDocument{});
    EXPECT_FALSE(state->save_pick.has_value());
    state = with_page();
    surface::execute(*state, ScanAnother{});
    picker->hold();
    surface::execute(*state, SaveDocument{});
    ASSERT_TRUE(state->save_pick.has_value());
    EXPECT_TRUE(state->save_as_document);
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 1; }));
    const auto request = picker->requests().front();
    EXPECT_EQ(request.title(), "Save scanned document");
    EXPECT_EQ(request.accept_label(), "Save");
    EXPECT_EQ(request.suggested(), std::optional<std::string>("Scanned document.pdf"));
    EXPECT_EQ(request.picker_thread_name(), "presswick-scan-document-save-picker");
}

TEST_F(Saving, ASecondSaveWhileThePickerHangsReplacesIt) {
    auto state = with_page();
    picker->hold();
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 1; }));
    surface::execute(*state, SaveDocument{});
    EXPECT_TRUE(state->save_as_document) << "the new request is the document's";
    EXPECT_EQ(spawned_count("presswick-scan-document-save-picker"), 1);
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 2; }));
    EXPECT_TRUE(picker->requests()[0].withdrawal()->withdrawn());
    EXPECT_EQ(picker->requests()[1].title(), "Save scanned document");
    // Twice in a row: still one picker waiting, the latest.
    surface::execute(*state, SaveDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 3; }));
    EXPECT_TRUE(picker->requests()[1].withdrawal()->withdrawn());
    EXPECT_FALSE(picker->requests()[2].withdrawal()->withdrawn());
    picker->answer_path(m_dir / "again.pdf");
    picker->release();
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Scanned document saved", "Saved again.pdf.", true}));
}

TEST_F(Saving, CancelledSaveChangesNothingAndResetsTheKind) {
    auto state = with_page();
    const auto* before = state->content.get();
    picker->answer({PickOutcome::Kind::cancelled, {}, {}});
    surface::execute(*state, SaveDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    EXPECT_FALSE(state->save_as_document);
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->content.get(), before);
    EXPECT_EQ(spawned_count("kora-save-scanned-page"), 0);
}

TEST_F(Saving, FailedSavePickerSetsItsNoticeInTheScanView) {
    auto state = with_page();
    picker->answer({PickOutcome::Kind::failed, {}, "no portal"});
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    EXPECT_EQ(state->notice,
              (Notice{"Could not open the file picker", "Try saving the scanned page again.", false}));
    EXPECT_TRUE(shows(*state, kScanResult));
}

TEST_F(Saving, SavePickerThreadThatCannotStartCountsAsAFailure) {
    auto state = with_page();
    refuse("presswick-scan-save-picker");
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(pump_one(*state));
    ASSERT_TRUE(state->notice.has_value());
    EXPECT_EQ(state->notice->detail, "Try saving the scanned page again.");
}

TEST_F(Saving, PageSaveStopsWhenThePageIsNoLongerCurrent) {
    auto state = with_page();
    picker->hold();
    picker->answer_path(m_dir / "page.png");
    surface::execute(*state, SavePage{});
    surface::execute(*state, ScanAnother{});
    picker->release();
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    EXPECT_EQ(spawned_count("kora-save-scanned-page"), 0);
}

TEST_F(Saving, DocumentPathWithoutExtensionGetsPdf) {
    auto state = with_page();
    picker->answer_path(m_dir / "letter");
    surface::execute(*state, SaveDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    if (spawned_count("kora-save-scanned-page") == 0) {
        GTEST_SKIP() << "the save worker is still a stand-in";
    }
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Scanned document saved", "Saved letter.pdf.", true}));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "letter.pdf"));
    EXPECT_FALSE(state->refresh_rx.has_value()) << "a page is current: no refresh";
}

TEST_F(Saving, PagePathWithAnExtensionIsUsedAsItIsWithThePageBytes) {
    auto state = with_page();
    picker->answer_path(m_dir / "receipt.image");
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    if (spawned_count("kora-save-scanned-page") == 0) {
        GTEST_SKIP() << "the save worker is still a stand-in";
    }
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Scanned page saved", "Saved receipt.image.", true}));
    std::ifstream in(m_dir / "receipt.image", std::ios::binary);
    const std::vector<std::uint8_t> written((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
    EXPECT_EQ(written, *state->pages[0].encoded);
}

TEST_F(Saving, LeavingTheScanPagesKeepsPagesUntilTheDocumentIsSaved) {
    auto state = with_page();
    surface::execute(*state, CloseScan{});
    surface::execute(*state, OpenScan{});
    EXPECT_EQ(state->pages.size(), 1U) << "an unsaved page survives leaving and coming back";
    EXPECT_TRUE(shows(*state, "1 page captured — new scans will be added"));
    picker->answer_path(m_dir / "kept.pdf");
    surface::execute(*state, SaveDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    ASSERT_TRUE(state->notice->positive);
    surface::execute(*state, OpenScan{});
    EXPECT_TRUE(state->pages.empty()) << "a saved document starts afresh";
}

TEST_F(Saving, SaveToAnUnwritablePlaceGivesTheFailureNotice) {
    auto state = with_page();
    picker->answer_path(m_dir / "missing" / "dir" / "page.png");
    surface::execute(*state, SavePage{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    if (spawned_count("kora-save-scanned-page") == 0) {
        GTEST_SKIP() << "the save worker is still a stand-in";
    }
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice,
              (Notice{"Could not save scanned page", "Choose another location and try again.", false}));
}

TEST_F(Saving, ClosingWithUnsavedPagesAsksAndSavesBeforeClosing) {
    auto state = with_page();
    const kora_ui::CloseQuestion question{"Save the scanned document before closing?", "Close without saving",
                                          "Cancel", "Save…"};
    EXPECT_EQ(state->close_question(), std::optional(question));
    // Cancel and discard leave the state as it is: the window decides.
    state->answer_close_question(kora_ui::CloseAnswer::cancel);
    state->answer_close_question(kora_ui::CloseAnswer::discard);
    EXPECT_FALSE(state->save_pick.has_value());
    EXPECT_FALSE(state->take_close_request());

    // A cancelled picker keeps the window and forgets the close.
    picker->answer({PickOutcome::Kind::cancelled, {}, {}});
    state->answer_close_question(kora_ui::CloseAnswer::save);
    ASSERT_TRUE(state->save_pick.has_value()) << "the document's own save";
    EXPECT_TRUE(state->save_as_document);
    ASSERT_TRUE(pump_until(*state, [&] { return !state->save_pick.has_value(); }));
    EXPECT_FALSE(state->close_after_save);
    EXPECT_FALSE(state->take_close_request());

    // A save that fails keeps the window, with its notice.
    picker->answer_path(m_dir / "missing" / "dir" / "doc.pdf");
    state->answer_close_question(kora_ui::CloseAnswer::save);
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_FALSE(state->notice->positive);
    settle(*state);
    EXPECT_FALSE(state->take_close_request());
    EXPECT_TRUE(state->close_question().has_value());

    // A save that works closes the window, once.
    state->notice.reset();
    picker->answer_path(m_dir / "doc.pdf");
    state->answer_close_question(kora_ui::CloseAnswer::save);
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_TRUE(state->notice->positive);
    EXPECT_TRUE(std::filesystem::exists(m_dir / "doc.pdf"));
    EXPECT_FALSE(state->close_question().has_value()) << "nothing left to lose";
    EXPECT_TRUE(state->take_close_request());
    EXPECT_FALSE(state->take_close_request());
    // Saved already: "Save…" only closes.
    state->answer_close_question(kora_ui::CloseAnswer::save);
    EXPECT_FALSE(state->save_pick.has_value());
    EXPECT_TRUE(state->take_close_request());
}

TEST_F(Saving, AnOtherOutcomeDuringTheSaveForClosingDoesNotCloseTheWindow) {
    auto state = with_page();
    picker->hold();
    state->answer_close_question(kora_ui::CloseAnswer::save);
    surface::execute(*state, OperationFinished{Notice{"Printer paused", "Documents will wait.", true}});
    EXPECT_FALSE(state->take_close_request());
    EXPECT_TRUE(state->close_after_save) << "still waiting for the document";
    picker->release();
    settle(*state);
    EXPECT_FALSE(state->take_close_request()) << "the held pick was cancelled";
    // Nothing to save: no question, nothing closes by itself.
    auto empty = loaded_root();
    EXPECT_FALSE(empty->close_question().has_value());
    EXPECT_FALSE(empty->take_close_request());
}

}  // namespace
}  // namespace presswick::testing
