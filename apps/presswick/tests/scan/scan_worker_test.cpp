// The two recognition workers: a scan through the print service, and a re-recognition of a page.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "exit_cleanup.h"
#include "kora_ui/thread.h"
#include "live_files/live_files.h"
#include "ocr/temp_png.h"
#include "printing/scripted_service.h"
#include "scan/page_image.h"
#include "scan/scan_worker.h"
#include "scan_support.h"

namespace presswick::scan {
namespace {

namespace printing = os_actions::printing;
using scan_test::pattern_png;
using scan_test::wait_for;

class ScanWorker : public ::testing::Test {
  protected:
    void SetUp() override {
        service = std::make_shared<printing::ScriptedService>();
        previous = printing::install_service(service);
    }
    void TearDown() override {
        EXPECT_TRUE(kora_ui::wait_for_named_threads(std::chrono::seconds(10)));
        printing::install_service(previous);
    }

    std::expected<ScannedPage, std::string> scan(
        ScanRequest request = {"test:0",
                               {300, printing::ScanColourMode::colour, printing::ScanSource::flatbed},
                               "eng",
                               "English"}) {
        auto [tx, rx] = kora_ui::channel<Operation>();
        EXPECT_TRUE(start_scan_worker(tx, std::move(request)));
        auto posted = wait_for(rx, std::chrono::seconds(60));
        if (posted && std::holds_alternative<ScanEnded>(*posted)) {
            const auto& end = std::get<ScanEnded>(*posted).end;
            return std::unexpected(end ? std::string("ended without a page") : end.error());
        }
        if (!posted || !std::holds_alternative<PageScanned>(*posted)) {
            return std::unexpected(std::string("no outcome"));
        }
        auto result = std::move(std::get<PageScanned>(*posted).result);
        // Every press ends with its end.
        auto end = wait_for(rx, std::chrono::seconds(10));
        EXPECT_TRUE(end && std::holds_alternative<ScanEnded>(*end));
        return result;
    }

    std::shared_ptr<printing::ScriptedService> service;
    std::shared_ptr<printing::Service> previous;
};

TEST_F(ScanWorker, PageKeepsTheScannersBytesAndTheirPixels) {
    Bytes png = pattern_png(32, 24);
    service->set_scan_result(png);
    auto page = scan({"test:1",
                      {600, printing::ScanColourMode::grayscale, printing::ScanSource::flatbed},
                      "deu",
                      "German"});
    ASSERT_TRUE(page.has_value()) << page.error();
    EXPECT_EQ(page->encoded, png);  // the very buffer, not a copy
    EXPECT_EQ(page->width, 32u);
    EXPECT_EQ(page->height, 24u);
    EXPECT_EQ(*page->pixels, scan_test::pattern_rgba(32, 24));
    EXPECT_EQ(page->language, "German");
    EXPECT_FALSE(page->text_stale);
    EXPECT_FALSE(page->recognizing);
    EXPECT_FALSE(page->status.empty());
    ASSERT_EQ(service->calls().size(), 1u);
    EXPECT_NE(service->calls()[0].find("test:1"), std::string::npos);
}

TEST_F(ScanWorker, ServiceFailureIsAFailedScan) {
    service->set_scan_result(std::unexpected(std::string("device busy")));
    const auto page = scan();
    ASSERT_FALSE(page.has_value());
    EXPECT_EQ(page.error(), "device busy");
}

TEST_F(ScanWorker, EveryPageOfTheFeederIsPostedInOrderThenTheEnd) {
    service->set_feeder({pattern_png(11, 8), pattern_png(12, 8), pattern_png(13, 8), pattern_png(14, 8)});
    auto [tx, rx] = kora_ui::channel<Operation>();
    ASSERT_TRUE(
        start_scan_worker(tx, {"test:1",
                               {150, printing::ScanColourMode::grayscale, printing::ScanSource::two_sided},
                               "eng",
                               "English",
                               7}));
    std::vector<std::uint32_t> widths;
    for (int i = 0; i < 4; ++i) {
        auto posted = wait_for(rx, std::chrono::seconds(60));
        ASSERT_TRUE(posted && std::holds_alternative<PageScanned>(*posted));
        auto& scanned = std::get<PageScanned>(*posted);
        ASSERT_TRUE(scanned.result.has_value()) << scanned.result.error();
        EXPECT_TRUE(scanned.more);
        EXPECT_EQ(scanned.scan, 7u);
        widths.push_back(scanned.result->width);
    }
    EXPECT_EQ(widths, (std::vector<std::uint32_t>{11, 12, 13, 14}));
    auto end = wait_for(rx, std::chrono::seconds(10));
    ASSERT_TRUE(end && std::holds_alternative<ScanEnded>(*end));
    EXPECT_EQ(std::get<ScanEnded>(*end).end, printing::ScanEnd::done);
    EXPECT_EQ(std::get<ScanEnded>(*end).scan, 7u);

    // Stopped before it began: no page, and the end says so.
    std::stop_source stop;
    stop.request_stop();
    ASSERT_TRUE(start_scan_worker(tx,
                                  {"test:1",
                                   {150, printing::ScanColourMode::grayscale, printing::ScanSource::feeder},
                                   "eng",
                                   "English",
                                   8},
                                  stop.get_token()));
    auto stopped = wait_for(rx, std::chrono::seconds(10));
    ASSERT_TRUE(stopped && std::holds_alternative<ScanEnded>(*stopped));
    EXPECT_EQ(std::get<ScanEnded>(*stopped).end, printing::ScanEnd::cancelled);

    service->set_feeder({});
    ASSERT_TRUE(
        start_scan_worker(tx, {"test:1",
                               {150, printing::ScanColourMode::grayscale, printing::ScanSource::feeder},
                               "eng",
                               "English",
                               9}));
    auto empty = wait_for(rx, std::chrono::seconds(10));
    ASSERT_TRUE(empty && std::holds_alternative<ScanEnded>(*empty));
    EXPECT_EQ(std::get<ScanEnded>(*empty).end, printing::ScanEnd::feeder_empty);
}

TEST_F(ScanWorker, UndecodableBytesAreAFailedScan) {
    service->set_scan_result(
        std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(scan().has_value());
    service->set_scan_result(Bytes{});
    EXPECT_FALSE(scan().has_value());
}

TEST_F(ScanWorker, APageBeyondTheRecognitionLimitsIsKeptWithoutText) {
    service->set_scan_result(pattern_png(ocr::max_page_side + 1, 2));
    auto page = scan();
    ASSERT_TRUE(page.has_value()) << page.error();
    EXPECT_EQ(page->width, ocr::max_page_side + 1);
    EXPECT_FALSE(page->text.has_value());
    EXPECT_EQ(page->status, "Text could not be recognized; the scanned page is still ready.");
}

TEST_F(ScanWorker, OversizedImageIsAFailedScan) {
    std::vector<std::uint8_t> bytes = *pattern_png(4, 4);
    bytes[17] = 0x7f;  // the IHDR width now claims over 8 million columns
    service->set_scan_result(std::make_shared<const std::vector<std::uint8_t>>(bytes));
    auto page = scan();
    ASSERT_FALSE(page.has_value());
    EXPECT_EQ(page.error(), "the scanned image is too large");
}

TEST(RecognitionWorker, PostsItsOutcomeWithThePageKey) {
    ScannedPage page = scan_test::pattern_page(40, 40);
    auto [tx, rx] = kora_ui::channel<Operation>();
    ASSERT_TRUE(start_recognition_worker(tx, page));
    auto posted = wait_for(rx, std::chrono::seconds(60));
    ASSERT_TRUE(posted && std::holds_alternative<PageRecognized>(*posted));
    EXPECT_EQ(std::get<PageRecognized>(*posted).key, page.key());
}

TEST(RecognitionWorker, ShortPixelsAreReported) {
    ScannedPage page = scan_test::pattern_page(40, 40);
    page.height = 41;
    auto [tx, rx] = kora_ui::channel<Operation>();
    ASSERT_TRUE(start_recognition_worker(tx, page));
    auto posted = wait_for(rx);
    ASSERT_TRUE(posted && std::holds_alternative<PageRecognized>(*posted));
    const auto& recognized = std::get<PageRecognized>(*posted);
    EXPECT_EQ(recognized.key, page.key());
    ASSERT_FALSE(recognized.result.has_value());
    EXPECT_EQ(recognized.result.error(), "The scanned page pixels were incomplete.");
}

TEST(RecognitionWorker, KeyStaysUniqueWhileTheWorkerRuns) {
    // The worker holds the encoded buffer, so the page may drop it without the address being reused.
    PageKey key = nullptr;
    auto [tx, rx] = kora_ui::channel<Operation>();
    {
        ScannedPage page = scan_test::pattern_page(40, 40);
        key = page.key();
        ASSERT_TRUE(start_recognition_worker(tx, page));
    }
    auto posted = wait_for(rx, std::chrono::seconds(60));
    ASSERT_TRUE(posted && std::holds_alternative<PageRecognized>(*posted));
    EXPECT_EQ(std::get<PageRecognized>(*posted).key, key);
}

// A recognition's page image and a save's temporary file, still held when the program ends: a child
// process inherits them and ends by SIGTERM, SIGINT, SIGHUP, SIGQUIT, or normally.
TEST(TemporaryFiles, NoPageImageOrSaveOutlivesTheProgram) {
    scan_test::TempDir dir;
    for (const int ending : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, 0}) {
        auto png = ocr::TempPng::create();
        ASSERT_TRUE(png.has_value());
        const auto save = dir.path() / ".Scanned document.pdf.AbC123";
        std::ofstream(save) << "partial";
        live_files::LiveFile saving(save);
        ASSERT_TRUE(saving.remembered());
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A runner started in the background may have us ignore SIGINT; a program's own start would not.
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGHUP, SIG_DFL);
            std::signal(SIGQUIT, SIG_DFL);
            const rlimit no_core{0, 0};  // SIGQUIT would leave a core file
            ::setrlimit(RLIMIT_CORE, &no_core);
            remove_temporary_files_at_exit();
            [[maybe_unused]] const auto told = ::write(ready[1], "r", 1);
            if (ending == 0) {
                std::exit(0);
            }
            for (;;) {
                ::pause();
            }
        }
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        if (ending != 0) {
            ::kill(child, ending);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(ending == 0 ? WIFEXITED(status) : WIFSIGNALED(status) && WTERMSIG(status) == ending, true)
            << ending;
        EXPECT_FALSE(std::filesystem::exists(png->path())) << ending;
        EXPECT_FALSE(std::filesystem::exists(save)) << ending;
    }
}

}  // namespace
}  // namespace presswick::scan
