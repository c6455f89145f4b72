// End to end against the sandbox's SANE test scanner and the real tesseract: scan, rotate, re-recognise,
// save the document and export a page, then check the files with the PDF tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "printing/printing.h"
#include "scan_session.h"
#include "scan_support.h"

namespace presswick::scan_test {
namespace {

// The command's standard output and whether it exited 0.
std::pair<std::string, bool> run_tool(const std::string& command) {
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {out, false};
    }
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
        out.append(buffer, got);
    }
    return {out, ::pclose(pipe) == 0};
}

TEST(ScanIntegration, TwoPagesRotatedRecognisedSavedAndExported) {
    if (std::getenv("SANE_CONFIG_DIR") == nullptr) {
        GTEST_SKIP() << "SANE_CONFIG_DIR is not set (eval \"$(scripts/sandbox.sh env)\")";
    }
    auto scanners = os_actions::printing::scanners();
    ASSERT_TRUE(scanners.has_value()) << scanners.error();
    ASSERT_FALSE(scanners->empty());
    ScanSession session(*scanners);
    auto& state = *session.state;
    state.scan_resolution.publish(0);  // 150 dpi keeps the engine run short
    ASSERT_TRUE(session.scan_page());
    ASSERT_EQ(state.pages.size(), 1u) << (state.notice ? state.notice->title : "");
    session.run(ScanAnother{});
    ASSERT_TRUE(session.scan_page());
    ASSERT_EQ(state.pages.size(), 2u);
    for (const auto& page : state.pages) {
        EXPECT_NE(page.status, "Text recognition is not installed; the scanned page is still ready.");
    }

    const auto width = state.pages[1].width;
    const auto height = state.pages[1].height;
    session.run(RotatePage{});
    EXPECT_EQ(state.pages[1].width, height);
    EXPECT_EQ(state.pages[1].height, width);
    EXPECT_TRUE(state.pages[1].text_stale);
    session.run(RecognizePage{});
    ASSERT_TRUE(state.pages[1].recognizing);
    ASSERT_TRUE(session.update_until([&] { return !state.pages[1].recognizing; }));
    EXPECT_FALSE(state.pages[1].text_stale) << (state.notice ? state.notice->detail : "");

    TempDir dir;
    ASSERT_TRUE(session.save(SaveDocument{}, dir.path() / "scanned"));
    EXPECT_EQ(state.notice->title, "Scanned document saved");
    const auto pdf = dir.path() / "scanned.pdf";
    EXPECT_TRUE(run_tool("qpdf --check '" + pdf.string() + "' >/dev/null").second);
    auto [info, info_ok] = run_tool("pdfinfo '" + pdf.string() + "'");
    EXPECT_TRUE(info_ok);
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_TRUE(run_tool("pdftotext '" + pdf.string() + "' - >/dev/null").second);

    session.run(PreviousPage{});
    ASSERT_EQ(state.current_index, 0u);
    ASSERT_TRUE(session.save(SavePage{}, dir.path() / "first"));
    EXPECT_EQ(state.notice->title, "Scanned page saved");
    EXPECT_EQ(read_file(dir.path() / "first.png"), *state.pages[0].encoded);
}

// The print server's newest kept job file (cupsd keeps them in the sandbox's spool).
std::optional<std::filesystem::path> newest_job_file() {
    const char* server = std::getenv("CUPS_SERVER");
    if (server == nullptr) {
        return std::nullopt;
    }
    const auto spool = std::filesystem::path(server).parent_path() / "spool";
    std::optional<std::filesystem::path> newest;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(spool, ec)) {
        const auto name = entry.path().filename().string();
        if (name.starts_with("d") && name.ends_with("-001") &&
            (!newest || name > newest->filename().string())) {
            newest = entry.path();
        }
    }
    return newest;
}

TEST(ScanIntegration, CopierRoomTheWholeFeederInOnePressThenPrinted) {
    if (std::getenv("SANE_CONFIG_DIR") == nullptr || std::getenv("CUPS_SERVER") == nullptr) {
        GTEST_SKIP() << "the sandbox is not running (eval \"$(scripts/sandbox.sh env)\")";
    }
    auto scanners = os_actions::printing::scanners();
    ASSERT_TRUE(scanners.has_value()) << scanners.error();
    ASSERT_FALSE(scanners->empty());
    ScanSession session(*scanners);
    auto& state = *session.state;
    state.scan_resolution.publish(0);
    state.scan_source.publish(1);  // SANE's test scanner: ten sheets in its feeder
    ASSERT_TRUE(session.scan_page());
    ASSERT_EQ(state.pages.size(), 10u) << (state.notice ? state.notice->title : "");
    EXPECT_FALSE(state.notice.has_value());

    session.run(PrintScannedDocument{});
    ASSERT_TRUE(session.update_until([&] { return state.print_document.has_value(); }));
    const auto copy = *state.print_document;
    ASSERT_TRUE(std::filesystem::exists(copy));
    session.run(ChoosePrintPrinter{"Studio_printer"});
    const auto before = newest_job_file();
    session.run(PrintDocument{});
    ASSERT_TRUE(session.update_until([&] { return state.notice.has_value(); }));
    EXPECT_EQ(state.notice->title, "Document sent to printer") << state.notice->detail;
    EXPECT_TRUE(session.update_until([&] { return !std::filesystem::exists(copy.parent_path()); },
                                     std::chrono::seconds(10)))
        << "no temporary file is left";
    // One job on the server, with every page.
    const auto job = newest_job_file();
    ASSERT_TRUE(job.has_value());
    EXPECT_NE(job, before);
    auto [info, info_ok] = run_tool("pdfinfo '" + job->string() + "'");
    EXPECT_TRUE(info_ok);
    EXPECT_NE(info.find("Pages:           10"), std::string::npos) << info;
}

}  // namespace
}  // namespace presswick::scan_test
