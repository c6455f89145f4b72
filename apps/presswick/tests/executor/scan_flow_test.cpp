// Scan flow: opening, choosing a scanner, scanning, scanned pages, recognition, copying text.
#include <fstream>
#include <thread>

#include <unistd.h>

#include "harness.h"
#include "memory.h"

namespace presswick::testing {
namespace {

class ScanFlow : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        answers.scanners = std::vector{scanner("test:0", "Flatbed one"), scanner("test:1", "Feeder two")};
    }
    // A loaded root on the scan result page with `count` pages, the last one current.
    std::unique_ptr<Presswick> with_pages(int count) {
        auto state = loaded_root();
        surface::execute(*state, OpenScan{});
        for (int i = 0; i < count; ++i) {
            surface::execute(*state, PageScanned{page(static_cast<std::uint8_t>(i + 1))});
        }
        return state;
    }
};

TEST_F(ScanFlow, OpenScanStartsAnEmptyDocumentOnTheFirstScanner) {
    auto state = loaded_root();
    state->notice = Notice{"old", "old", false};
    state->pages = {page(1), page(2)};
    state->current_page = state->pages[1];
    state->current_index = 1;
    state->scanning = true;
    surface::execute(*state, OpenScan{});
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_TRUE(state->pages.empty());
    EXPECT_FALSE(state->current_page.has_value());
    EXPECT_EQ(state->current_index, 0U);
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(state->scan_scanner, std::optional<std::string>("test:0"));
    EXPECT_TRUE(shows(*state, kScanSetup));
}

TEST_F(ScanFlow, OpenScanWithoutScannersClearsTheScanner) {
    answers.scanners = std::vector<printing::Scanner>{};
    auto state = loaded_root();
    state->scan_scanner = "stale";
    surface::execute(*state, OpenScan{});
    EXPECT_FALSE(state->scan_scanner.has_value());
}

TEST_F(ScanFlow, OpenScanWithAFailedScannerListClearsTheScanner) {
    answers.scanners = std::unexpected(std::string("sane down"));
    auto state = loaded_root();
    state->scan_scanner = "stale";
    surface::execute(*state, OpenScan{});
    EXPECT_FALSE(state->scan_scanner.has_value());
    EXPECT_TRUE(shows(*state, kScanSetup));
}

TEST_F(ScanFlow, OpenScanWithoutSnapshotInstallsNothing) {
    auto state = bare_root();
    const auto* before = state->content.get();
    surface::execute(*state, OpenScan{});
    EXPECT_EQ(state->content.get(), before);
}

TEST_F(ScanFlow, ChooseScannerSetsItAndRedraws) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    const auto* before = state->content.get();
    surface::execute(*state, ChooseScanner{"test:1"});
    EXPECT_EQ(state->scan_scanner, std::optional<std::string>("test:1"));
    EXPECT_NE(state->content.get(), before);
}

TEST_F(ScanFlow, ScanPageWithoutScannerDoesNothing) {
    answers.scanners = std::vector<printing::Scanner>{};
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    const auto* before = state->content.get();
    surface::execute(*state, ScanPage{});
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(state->content.get(), before);
    EXPECT_EQ(spawned_count("kora-scan-document"), 0);
}

TEST_F(ScanFlow, ScanPageSetsScanningAndPassesTheChosenSettings) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    (void)state->scan_resolution.write_from_control(2);
    (void)state->scan_colour.write_from_control(2);
    (void)state->scan_source.write_from_control(1);
    const auto* before = state->content.get();
    surface::execute(*state, ScanPage{});
    EXPECT_TRUE(state->scanning);
    EXPECT_NE(state->content.get(), before);
    ASSERT_EQ(spawned_count("kora-scan-document"), 1);
    EXPECT_TRUE(wait_for_call("scan_pages(test:0,600,2,1)"));
}

TEST_F(ScanFlow, OutOfRangeChoicesFallBackToTheDefaults) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    (void)state->scan_resolution.write_from_control(7);
    (void)state->scan_colour.write_from_control(9);
    (void)state->scan_source.write_from_control(3);
    surface::execute(*state, ScanPage{});
    ASSERT_EQ(spawned_count("kora-scan-document"), 1);
    EXPECT_TRUE(wait_for_call("scan_page(test:0,300,0,0)"));
}

TEST_F(ScanFlow, ScanThreadThatCannotStartLeavesScanningSet) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    refuse("kora-scan-document");
    surface::execute(*state, ScanPage{});
    settle(*state);
    EXPECT_TRUE(state->scanning);
    EXPECT_TRUE(state->pages.empty());
}

TEST_F(ScanFlow, FailedScanClearsScanningAndSetsTheNotice) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    state->scanning = true;
    surface::execute(*state, PageScanned{std::unexpected(std::string("jammed"))});
    EXPECT_FALSE(state->scanning);
    EXPECT_TRUE(state->pages.empty());
    EXPECT_EQ(
        state->notice,
        (Notice{"Could not scan this page",
                "Check that the scanner is connected and the paper is positioned, then try again.", false}));
    EXPECT_TRUE(shows(*state, kScanSetup));
}

TEST_F(ScanFlow, ScannedPageIsAppendedAndBecomesCurrent) {
    auto state = with_pages(1);
    state->notice = Notice{"kept", "kept", true};
    (void)state->crop_selection.write_from_control({0.1, 0.1, 0.9, 0.9});
    state->scanning = true;
    auto second = page(9);
    const auto key = second.key();
    surface::execute(*state, PageScanned{second});
    EXPECT_FALSE(state->scanning);
    ASSERT_EQ(state->pages.size(), 2U);
    EXPECT_EQ(state->current_index, 1U);
    ASSERT_TRUE(state->current_page.has_value());
    EXPECT_EQ(state->current_page->key(), key);
    EXPECT_EQ(state->crop_selection.get(), kora_ui::CropSelection::whole());
    EXPECT_EQ(state->notice, (Notice{"kept", "kept", true})) << "a scanned page leaves the notice";
    EXPECT_TRUE(shows(*state, kScanResult));
}

TEST_F(ScanFlow, AFlatbedOnlyScannerScansFromTheFlatbed) {
    auto flatbed = scanner("test:2", "Flatbed only");
    flatbed.has_feeder = false;
    flatbed.has_two_sided = false;
    answers.scanners = std::vector{scanner("test:0", "Feeder one"), flatbed};
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    (void)state->scan_source.write_from_control(2);
    surface::execute(*state, ChooseScanner{"test:2"});
    EXPECT_EQ(state->scan_source.get(), 0U) << "its only source";
    EXPECT_TRUE(shows(*state, "This scanner has no document feeder"));
    surface::execute(*state, ScanPage{});
    ASSERT_EQ(spawned_count("kora-scan-document"), 1);
    EXPECT_TRUE(wait_for_call("scan_page(test:2,300,0,0)"));
}

TEST_F(ScanFlow, FeederPagesArriveBehindTheFirstUntilTheScanEnds) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    refuse("kora-scan-document");
    (void)state->scan_source.write_from_control(2);
    surface::execute(*state, ScanPage{});
    ASSERT_TRUE(state->scanning);
    EXPECT_TRUE(shows(*state, "Scanning page 1…"));
    const auto serial = state->scan_serial;
    surface::execute(*state, PageScanned{page(1), true, serial});
    EXPECT_TRUE(state->scanning) << "the rest of the feeder is still coming";
    EXPECT_TRUE(shows(*state, kScanResult));
    EXPECT_TRUE(shows(*state, "Scanning page 2…"));
    EXPECT_TRUE(shows(*state, "Stop scanning"));
    surface::execute(*state, PageScanned{page(2), true, serial});
    surface::execute(*state, PageScanned{page(3), true, serial});
    ASSERT_EQ(state->pages.size(), 3U);
    EXPECT_EQ(state->current_index, 0U) << "the first page stays in view";
    EXPECT_EQ(state->current_page->key(), state->pages[0].key());
    EXPECT_TRUE(shows(*state, "Page 1 selected · 3 pages total"));
    EXPECT_TRUE(shows(*state, "Scanning page 4…"));
    // An end from an earlier press changes nothing.
    surface::execute(*state, ScanEnded{printing::ScanEnd::done, serial - 1});
    EXPECT_TRUE(state->scanning);
    surface::execute(*state, ScanEnded{printing::ScanEnd::done, serial});
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_FALSE(shows(*state, "Stop scanning"));
    EXPECT_EQ(state->pages.size(), 3U);
}

TEST_F(ScanFlow, EmptyFeederAndFailedFeederScansSayWhy) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    refuse("kora-scan-document");
    (void)state->scan_source.write_from_control(1);
    surface::execute(*state, ScanPage{});
    surface::execute(*state, ScanEnded{printing::ScanEnd::feeder_empty, state->scan_serial});
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(state->notice, (Notice{"The document feeder is empty",
                                     "Put the pages in the feeder, then scan again.", false}));
    EXPECT_TRUE(shows(*state, kScanSetup));
    surface::execute(*state, ScanPage{});
    surface::execute(*state, ScanEnded{std::unexpected(std::string("jammed")), state->scan_serial});
    EXPECT_EQ(state->notice->title, "Could not scan this page");
    EXPECT_TRUE(state->pages.empty());
}

TEST_F(ScanFlow, StoppingOrLeavingAScanCancelsItAndKeepsThePagesSoFar) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    refuse("kora-scan-document");
    (void)state->scan_source.write_from_control(1);
    surface::execute(*state, ScanPage{});
    ASSERT_TRUE(state->scan_stop.has_value());
    auto stop = state->scan_stop->get_token();
    surface::execute(*state, PageScanned{page(1), true, state->scan_serial});
    surface::execute(*state, StopScan{});
    EXPECT_TRUE(stop.stop_requested());
    EXPECT_TRUE(state->scanning) << "until the sheet being read is done";
    surface::execute(*state, ScanEnded{printing::ScanEnd::cancelled, state->scan_serial});
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->pages.size(), 1U);

    // Leaving while the feeder runs: the scan is cancelled, a page still on its way is kept, and the
    // window stays where the user went.
    surface::execute(*state, ScanAnother{});
    surface::execute(*state, ScanPage{});
    stop = state->scan_stop->get_token();
    surface::execute(*state, CloseScan{});
    EXPECT_TRUE(stop.stop_requested());
    EXPECT_FALSE(state->scanning);
    surface::execute(*state, PageScanned{page(2), true, state->scan_serial});
    surface::execute(*state, ScanEnded{printing::ScanEnd::cancelled, state->scan_serial});
    EXPECT_EQ(state->pages.size(), 2U);
    EXPECT_TRUE(is_dashboard(*state));
    surface::execute(*state, OpenScan{});
    EXPECT_EQ(state->pages.size(), 2U) << "unsaved pages are kept";
}

TEST_F(ScanFlow, ScanAnotherKeepsThePagesAndShowsTheSetup) {
    auto state = with_pages(2);
    state->notice = Notice{"x", "y", true};
    surface::execute(*state, ScanAnother{});
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_FALSE(state->current_page.has_value());
    EXPECT_EQ(state->pages.size(), 2U);
    EXPECT_EQ(state->current_index, 1U);
    EXPECT_TRUE(shows(*state, kScanSetup));
}

TEST_F(ScanFlow, CloseScanKeepsThePagesAndShowsHome) {
    auto state = with_pages(2);
    state->scanning = true;
    surface::execute(*state, CloseScan{});
    EXPECT_FALSE(state->current_page.has_value());
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(state->pages.size(), 2U);
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(ScanFlow, CloseScanWithoutSnapshotShowsFirstRun) {
    auto state = bare_root();
    surface::execute(*state, CloseScan{});
    EXPECT_TRUE(shows(*state, kFirstRun));
}

TEST_F(ScanFlow, CopyTextPutsTheWholeUntrimmedTextOnTheClipboard) {
    auto state = with_pages(1);
    state->pages[0].text = "  Total 12.50\n";
    state->current_page = state->pages[0];
    surface::execute(*state, CopyText{});
    EXPECT_EQ(clipboard(), std::vector<std::string>{"  Total 12.50\n"});
    EXPECT_EQ(state->notice, (Notice{"Text copied", "Paste the recognized text into any app.", true}));
    EXPECT_TRUE(shows(*state, kScanResult));
}

TEST_F(ScanFlow, CopyTextOfBlankOrMissingTextDoesNothing) {
    auto state = with_pages(1);
    state->current_page->text = " \t\n ";
    const auto* before = state->content.get();
    surface::execute(*state, CopyText{});
    state->current_page->text.reset();
    surface::execute(*state, CopyText{});
    state->current_page.reset();
    surface::execute(*state, CopyText{});
    EXPECT_TRUE(clipboard().empty());
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->content.get(), before);
}

TEST_F(ScanFlow, OperationFinishedWhileAPageIsCurrentShowsTheNoticeInTheScanViewWithoutRefresh) {
    auto state = with_pages(1);
    const int refreshes = spawned_count("kora-presswick-refresh");
    surface::execute(*state, OperationFinished{Notice{"Scanned page saved", "Saved a.png.", true}});
    EXPECT_EQ(state->notice, (Notice{"Scanned page saved", "Saved a.png.", true}));
    EXPECT_EQ(spawned_count("kora-presswick-refresh"), refreshes);
    EXPECT_FALSE(state->refresh_rx.has_value());
    EXPECT_TRUE(shows(*state, kScanResult));
}

TEST_F(ScanFlow, RecognizePageSetsTheFlagAndRefusesASecondStart) {
    auto state = with_pages(1);
    surface::execute(*state, RecognizePage{});
    EXPECT_TRUE(state->pages[0].recognizing);
    ASSERT_TRUE(state->current_page.has_value());
    EXPECT_TRUE(state->current_page->recognizing);
    const int started = spawned_count("kora-recognize-scanned-page");
    const auto* before = state->content.get();
    surface::execute(*state, RecognizePage{});
    EXPECT_EQ(state->content.get(), before) << "a second request does nothing, not even a redraw";
    EXPECT_EQ(spawned_count("kora-recognize-scanned-page"), started);
}

TEST_F(ScanFlow, RecognizePageWithoutAPageDoesNothing) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    const auto* before = state->content.get();
    surface::execute(*state, RecognizePage{});
    EXPECT_EQ(state->content.get(), before);
    EXPECT_EQ(spawned_count("kora-recognize-scanned-page"), 0);
}

TEST_F(ScanFlow, RecognitionThreadThatCannotStartLeavesTheFlagSet) {
    auto state = with_pages(1);
    refuse("kora-recognize-scanned-page");
    surface::execute(*state, RecognizePage{});
    settle(*state);
    EXPECT_TRUE(state->pages[0].recognizing);
}

TEST_F(ScanFlow, RecognitionOfAPageThatIsGoneIsDropped) {
    auto state = with_pages(1);
    const auto gone = page(7);
    const auto* before = state->content.get();
    surface::execute(*state, PageRecognized{gone.key(), std::unexpected(std::string("boom"))});
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->content.get(), before);
}

TEST_F(ScanFlow, KeysAreComparedByIdentityNotContent) {
    auto state = with_pages(1);
    auto twin = state->pages[0];
    twin.encoded = std::make_shared<const std::vector<std::uint8_t>>(*state->pages[0].encoded);
    surface::execute(*state, PageRecognized{twin.key(), RecognizedText{"other", "Recognized 1 words."}});
    EXPECT_EQ(state->pages[0].text, std::optional<std::string>("page 1"));
}

TEST_F(ScanFlow, AnOutcomeNeverReachesAPageMadeAfterItsOwnWentAway) {
    auto state = with_pages(1);
    refuse("kora-recognize-scanned-page");
    surface::execute(*state, RecognizePage{});
    PageRecognized outcome{state->pages[0].key(), RecognizedText{"old words", "Recognized 2 words."}};
    // The page goes; new pages' buffers are made of the same size, where its memory would be reused.
    surface::execute(*state, DeletePage{});
    for (std::uint8_t tag = 10; tag < 20; ++tag) {
        surface::execute(*state, PageScanned{page(tag)});
    }
    surface::execute(*state, std::move(outcome));
    for (const auto& scanned : state->pages) {
        EXPECT_NE(scanned.text, std::optional<std::string>("old words"));
    }
}

TEST_F(ScanFlow, FailedRecognitionClearsOnlyTheFlagAndSetsTheNotice) {
    auto state = with_pages(1);
    state->pages[0].text_stale = true;
    surface::execute(*state, RecognizePage{});
    surface::execute(
        *state, PageRecognized{state->pages[0].key(),
                               std::unexpected(std::string("Text could not be recognized on this page."))});
    EXPECT_FALSE(state->pages[0].recognizing);
    EXPECT_TRUE(state->pages[0].text_stale);
    EXPECT_EQ(state->pages[0].text, std::optional<std::string>("page 1"));
    EXPECT_FALSE(state->current_page->recognizing);
    EXPECT_EQ(state->notice,
              (Notice{"Text was not updated", "Text could not be recognized on this page.", false}));
}

TEST_F(ScanFlow, RecognitionResultUpdatesThePageAndItsCurrentCopy) {
    auto state = with_pages(1);
    state->pages[0].text_stale = true;
    state->notice = Notice{"kept", "kept", true};
    surface::execute(*state, RecognizePage{});
    surface::execute(*state, PageRecognized{state->pages[0].key(),
                                            RecognizedText{std::nullopt, "No text was found on this page."}});
    EXPECT_FALSE(state->pages[0].text.has_value());
    EXPECT_EQ(state->pages[0].status, "No text was found on this page.");
    EXPECT_FALSE(state->pages[0].text_stale);
    EXPECT_FALSE(state->pages[0].recognizing);
    EXPECT_EQ(state->current_page->status, "No text was found on this page.");
    EXPECT_EQ(state->notice, (Notice{"kept", "kept", true}));
}

TEST_F(ScanFlow, BackToThePagesShowsTheCurrentPageWhateverTheScannerDid) {
    auto state = with_pages(3);
    surface::execute(*state, PreviousPage{});
    surface::execute(*state, ScanAnother{});
    service->set_scan_result(std::unexpected(std::string("device busy")));
    surface::execute(*state, ScanPage{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->scanning; }));
    ASSERT_TRUE(shows(*state, kScanSetup));
    ASSERT_TRUE(state->notice.has_value()) << "the scan failed";
    surface::execute(*state, ShowPages{});
    EXPECT_TRUE(shows(*state, kScanResult));
    EXPECT_EQ(state->current_index, 1U);
    ASSERT_TRUE(state->current_page.has_value());
    EXPECT_EQ(state->current_page->key(), state->pages[1].key());
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->pages.size(), 3U);
    // An index past the end (every later page removed elsewhere) shows the last page.
    state->current_index = 9;
    surface::execute(*state, ShowPages{});
    EXPECT_EQ(state->current_index, 2U);
    // Without pages there is nothing to go back to.
    surface::execute(*state, OpenScan{});
    state->pages.clear();
    const auto* before = state->content.get();
    surface::execute(*state, ShowPages{});
    EXPECT_EQ(state->content.get(), before);
    EXPECT_FALSE(state->current_page.has_value());
}

TEST_F(ScanFlow, RecognisedWordsComeWithTheirTextAndReplaceTheOldOnes) {
    auto state = with_pages(1);
    state->pages[0].words = std::make_shared<const std::vector<RecognizedWord>>(
        std::vector<RecognizedWord>{{"old", 0, 0, 1, 1, 0}});
    const auto words = std::make_shared<const std::vector<RecognizedWord>>(
        std::vector<RecognizedWord>{{"new", 1, 2, 3, 4, 0}, {"words", 5, 2, 3, 4, 0}});
    surface::execute(*state, RecognizePage{});
    surface::execute(*state, PageRecognized{state->pages[0].key(),
                                            RecognizedText{"new words", "Recognized 2 words.", words}});
    EXPECT_EQ(state->pages[0].words, words);
    EXPECT_EQ(state->current_page->words, words);
    surface::execute(*state, PageRecognized{state->pages[0].key(),
                                            RecognizedText{std::nullopt, "No text was found on this page."}});
    EXPECT_EQ(state->pages[0].words, nullptr) << "no boxes without text";
}

TEST_F(ScanFlow, RecognitionOfAnotherPageLeavesTheCurrentCopyAlone) {
    auto state = with_pages(2);
    surface::execute(*state,
                     PageRecognized{state->pages[0].key(), RecognizedText{"new", "Recognized 1 words."}});
    EXPECT_EQ(state->pages[0].text, std::optional<std::string>("new"));
    EXPECT_EQ(state->current_page->text, std::optional<std::string>("page 2"));
}

TEST_F(ScanFlow, RecognitionAfterScanAnotherDoesNotBringThePageBack) {
    auto state = with_pages(1);
    surface::execute(*state, ScanAnother{});
    surface::execute(*state,
                     PageRecognized{state->pages[0].key(), RecognizedText{"new", "Recognized 1 words."}});
    EXPECT_EQ(state->pages[0].text, std::optional<std::string>("new"));
    EXPECT_FALSE(state->current_page.has_value());
}

double resident_mib() {
    std::ifstream statm("/proc/self/statm");
    long total = 0;
    long resident = 0;
    statm >> total >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

TEST_F(ScanFlow, DroppedPagesGiveTheirMemoryBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator keeps freed memory in quarantine";
#endif
    presswick::map_large_buffers_alone();  // as the program's main does
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    const double before = resident_mib();
    // Twelve pages of 22 MB (a 200 mm square at 300 dpi), made on a worker thread as scans are.
    std::thread worker([&] {
        // A decoder's scratch buffer, made and freed first: the allocator's defaults would now keep
        // buffers of this size on the thread's own heap.
        { std::vector<std::uint8_t> scratch(std::size_t{30} << 20, 1); }
        for (std::uint8_t tag = 1; tag <= 12; ++tag) {
            ScannedPage scanned = page(tag);
            auto pixels = std::make_shared<std::vector<std::uint8_t>>(std::size_t{2362} * 2362 * 4, tag);
            scanned.pixels = std::move(pixels);
            scanned.width = 2362;
            scanned.height = 2362;
            (void)state->operations_tx.send(PageScanned{std::move(scanned)});
        }
    });
    worker.join();
    ASSERT_TRUE(pump_until(*state, [&] { return state->pages.size() == 12; }));
    EXPECT_GT(resident_mib(), before + 200) << "the pages are resident";
    state->saved_version = state->document_version;  // as after a save
    surface::execute(*state, OpenScan{});
    EXPECT_TRUE(state->pages.empty());
    kora_ui::UpdateContext context;
    (void)state->update(context);
    EXPECT_LT(resident_mib(), before + 30) << "kept by the allocator after the pages were dropped";
}

}  // namespace
}  // namespace presswick::testing
