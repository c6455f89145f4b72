// Scanning flows through the executor with a scripted scanner: scan, edit, re-recognise, export, save.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "kora_ui/thread.h"
#include "printing/scripted_service.h"
#include "scan/page_image.h"
#include "scan_session.h"
#include "scan_support.h"

namespace presswick::scan_test {
namespace {

namespace printing = os_actions::printing;

std::vector<printing::Scanner> one_scanner() {
    return {{"test:0", "Flatbed"}};
}

class ScanFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        service = std::make_shared<printing::ScriptedService>();
        previous = printing::install_service(service);
        scanner_png = pattern_png(48, 64);
        service->set_scan_result(scanner_png);
    }
    void TearDown() override {
        kora_ui::set_spawn_hook(nullptr);
        EXPECT_TRUE(kora_ui::wait_for_named_threads(std::chrono::seconds(10)));
        printing::install_service(previous);
    }

    std::shared_ptr<printing::ScriptedService> service;
    std::shared_ptr<printing::Service> previous;
    Bytes scanner_png;
    TempDir dir;
};

TEST_F(ScanFlow, ScanningIntoAnEmptyThenANonEmptyDocument) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    auto& state = *session.state;
    ASSERT_EQ(state.pages.size(), 1u);
    EXPECT_EQ(state.current_index, 0u);
    ASSERT_TRUE(state.current_page);
    EXPECT_EQ(state.current_page->key(), state.pages[0].key());
    EXPECT_EQ(state.pages[0].encoded, scanner_png);

    session.run(ScanAnother{});
    EXPECT_FALSE(state.current_page);
    ASSERT_TRUE(session.scan_page());
    ASSERT_EQ(state.pages.size(), 2u);
    EXPECT_EQ(state.current_index, 1u);
    EXPECT_EQ(state.current_page->key(), state.pages[1].key());
}

TEST_F(ScanFlow, FailedScanAddsNothing) {
    ScanSession session(one_scanner());
    service->set_scan_result(
        std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{0, 1}));
    ASSERT_TRUE(session.scan_page());
    EXPECT_TRUE(session.state->pages.empty());
    ASSERT_TRUE(session.state->notice);
    EXPECT_EQ(session.state->notice->title, "Could not scan this page");
}

TEST_F(ScanFlow, StaleRecognitionIsDroppedAfterARotation) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    auto& state = *session.state;
    kora_ui::set_spawn_hook([](std::string_view) { return false; });  // the worker's answer is posted by hand
    session.run(RecognizePage{});
    ASSERT_TRUE(state.pages[0].recognizing);
    const PageKey old_key = state.pages[0].key();
    session.run(RotatePage{});
    EXPECT_FALSE(state.pages[0].recognizing);
    EXPECT_NE(state.pages[0].key(), old_key);
    session.run(PageRecognized{old_key, RecognizedText{"late words", "Recognized 2 words."}});
    EXPECT_FALSE(state.pages[0].text.has_value());
    EXPECT_EQ(state.pages[0].status, "Text recognition needs updating after rotation.");
    EXPECT_TRUE(state.pages[0].text_stale);
    EXPECT_FALSE(state.notice);
    // The answer for the present key is applied.
    session.run(PageRecognized{state.pages[0].key(), RecognizedText{"new words", "Recognized 2 words."}});
    EXPECT_EQ(state.pages[0].text, "new words");
    EXPECT_FALSE(state.pages[0].text_stale);
    EXPECT_EQ(state.current_page->text, "new words");
}

TEST_F(ScanFlow, ASecondRecognizeIsRefused) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    std::atomic<int> started = 0;
    kora_ui::set_spawn_hook([&started](std::string_view name) {
        if (name == "kora-recognize-scanned-page") {
            ++started;
        }
        return false;
    });
    session.run(RecognizePage{});
    session.run(RecognizePage{});
    EXPECT_EQ(started.load(), 1);
}

TEST_F(ScanFlow, RotateFourTimesThroughTheExecutor) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    auto& state = *session.state;
    const auto original = *state.pages[0].pixels;
    for (int turn = 0; turn < 4; ++turn) {
        session.run(RotatePage{});
        EXPECT_EQ(state.pages[0].width, turn % 2 == 0 ? 64u : 48u);
    }
    EXPECT_EQ(*state.pages[0].pixels, original);
    EXPECT_EQ(*state.current_page->pixels, original);
}

TEST_F(ScanFlow, CropThroughTheExecutor) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    auto& state = *session.state;
    const PageKey key = state.pages[0].key();
    session.run(CropPage{});  // whole page: nothing
    EXPECT_EQ(state.pages[0].key(), key);
    state.crop_selection.publish({0.5, 0.5, 0.52, 0.9});
    session.run(CropPage{});
    ASSERT_TRUE(state.notice);
    EXPECT_EQ(state.notice->title, "Could not crop this page");
    EXPECT_EQ(state.notice->detail, "crop selection was invalid");
    EXPECT_EQ(state.pages[0].key(), key);
    state.crop_selection.publish({0.25, 0.25, 0.75, 0.75});
    session.run(CropPage{});
    EXPECT_FALSE(state.notice);
    EXPECT_EQ(state.pages[0].width, 24u);
    EXPECT_EQ(state.pages[0].height, 32u);
    EXPECT_EQ(state.crop_selection.get(), kora_ui::CropSelection::whole());
}

TEST_F(ScanFlow, ExportWritesTheScannersBytesThenAPngAfterRotationAndAJpegWhenNamedSo) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    ASSERT_TRUE(session.save(SavePage{}, dir.path() / "first"));
    EXPECT_EQ(session.state->notice->title, "Scanned page saved");
    EXPECT_EQ(session.state->notice->detail, "Saved first.png.");
    EXPECT_EQ(read_file(dir.path() / "first.png"), *scanner_png);

    session.run(RotatePage{});
    ASSERT_TRUE(session.save(SavePage{}, dir.path() / "turned.png"));
    const auto turned = read_file(dir.path() / "turned.png");
    EXPECT_EQ(turned, *session.state->pages[0].encoded);
    auto decoded = scan::decode_page_image(turned);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 64u);
    EXPECT_EQ(decoded->height, 48u);
    // A JPEG name gets a JPEG of the turned page, not the PNG under that name.
    ASSERT_TRUE(session.save(SavePage{}, dir.path() / "turned.jpg"));
    const auto jpeg = read_file(dir.path() / "turned.jpg");
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    decoded = scan::decode_page_image(jpeg);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 64u);
    EXPECT_EQ(decoded->height, 48u);
}

TEST_F(ScanFlow, DocumentSaveUsesAForeignExtensionAsItIs) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    ASSERT_TRUE(session.scan_page());
    ASSERT_TRUE(session.save(SaveDocument{}, dir.path() / "both.txt"));
    EXPECT_EQ(session.state->notice->title, "Scanned document saved");
    const auto pdf = read_file(dir.path() / "both.txt");
    const std::string text(pdf.begin(), pdf.end());
    EXPECT_TRUE(text.starts_with("%PDF-"));
    EXPECT_NE(text.find("/Count 2"), std::string::npos);
}

TEST_F(ScanFlow, SaveIntoAnUnwritablePlaceGivesTheFailureNotice) {
    ScanSession session(one_scanner());
    ASSERT_TRUE(session.scan_page());
    const auto file = dir.path() / "plain-file";
    std::ofstream(file) << "not a directory";
    ASSERT_TRUE(session.save(SaveDocument{}, file / "document"));
    EXPECT_EQ(session.state->notice->title, "Could not save scanned document");
    EXPECT_EQ(session.state->notice->detail, "Choose another location and try again.");
}

}  // namespace
}  // namespace presswick::scan_test
