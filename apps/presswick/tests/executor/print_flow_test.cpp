// Print flow: the document picker and its results, the preview, copies, printing, cancelling.
#include <cmath>
#include <fstream>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"
#include "live_files/live_files.h"
#include "scan/print_copy.h"

namespace presswick::testing {
namespace {

using kora_ui::PickOutcome;

class PrintFlow : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        answers.queues = std::vector{queue("Office_laser"), queue("Studio_printer", true)};
        m_dir = std::filesystem::temp_directory_path() /
                ("presswick-print-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        std::ofstream(report()) << "%PDF-1.4 a document";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        ExecutorTest::TearDown();
    }
    // A real, non-empty document in the test's own directory.
    [[nodiscard]] std::filesystem::path report() const { return m_dir / "report.pdf"; }
    [[nodiscard]] std::string printed(const std::string& options) const {
        return "print_document(Studio_printer," + report().string() + "," + options + ")";
    }
    std::filesystem::path m_dir;
    // Opens the picker and takes a chosen path through update.
    void choose(Presswick& state, const std::filesystem::path& path) {
        picker->answer_path(path);
        surface::execute(state, ChooseDocument{});
        ASSERT_TRUE(pump_until(state, [&] { return !state.document_pick.has_value(); }));
    }
    // Prints with the given copies value and answers the call the worker made.
    std::string print_with_copies(double copies) {
        auto state = loaded_root();
        choose(*state, report());
        (void)state->copies.write_from_control(copies);
        service->clear_calls();
        surface::execute(*state, PrintDocument{});
        EXPECT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
        for (const auto& call : service_calls()) {
            if (call.starts_with("print_document(")) {
                return call;
            }
        }
        return {};
    }
};

TEST_F(PrintFlow, ChooseDocumentOpensThePickerAsDocumented) {
    auto state = loaded_root();
    (void)state->copies.write_from_control(4.0);
    (void)state->two_sided.write_from_control(true);
    state->preview = PrintPreview::preparing();
    const auto* before = state->content.get();
    picker->hold();
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(state->document_pick.has_value());
    EXPECT_EQ(state->content.get(), before) << "the content is not changed";
    EXPECT_EQ(state->copies.get(), 1.0);
    EXPECT_FALSE(state->two_sided.get());
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_FALSE(state->preview_rx.has_value());
    EXPECT_TRUE(state->needs_idle_sync()) << "a pending document pick needs idle sync";
    ASSERT_TRUE(pump_until(*state, [&] { return picker->requests().size() == 1; }));
    const auto request = picker->requests().front();
    EXPECT_EQ(request.mode(), kora_ui::PickRequest::Mode::open);
    EXPECT_EQ(request.title(), "Choose a document to print");
    EXPECT_EQ(request.accept_label(), "Choose");
    EXPECT_EQ(request.picker_thread_name(), "presswick-document-picker");
    ASSERT_EQ(request.filters().size(), 1U);
    EXPECT_EQ(request.filters()[0].name(), "Documents and images");
    EXPECT_EQ(request.filters()[0].mimetypes(),
              (std::vector<std::string>{"application/pdf", "image/png", "image/jpeg", "text/plain"}));
    EXPECT_TRUE(request.includes_all_files());
    EXPECT_EQ(spawned_count("presswick-document-picker"), 1);
}

TEST_F(PrintFlow, SecondChooseWhileThePickerIsOpenDoesNothing) {
    auto state = loaded_root();
    picker->hold();
    surface::execute(*state, ChooseDocument{});
    (void)state->copies.write_from_control(3.0);
    surface::execute(*state, ChooseDocument{});
    EXPECT_EQ(state->copies.get(), 3.0) << "the second request must not reset the copies";
    EXPECT_EQ(spawned_count("presswick-document-picker"), 1);
    picker->release();
    ASSERT_TRUE(pump_until(*state, [&] { return !state->document_pick.has_value(); }));
    EXPECT_EQ(picker->requests().size(), 1U);
}

TEST_F(PrintFlow, ChosenPathPicksThePreferredPrinterStartsThePreviewAndShowsTheDialog) {
    auto state = loaded_root();
    choose(*state, "/tmp/report.pdf");
    EXPECT_EQ(state->print_document, std::filesystem::path("/tmp/report.pdf"));
    EXPECT_EQ(state->print_printer, std::optional<std::string>("Studio_printer"));
    EXPECT_EQ(spawned_count("kora-print-preview"), 1);
    EXPECT_TRUE(shows(*state, kPrintDialog));
    EXPECT_FALSE(state->needs_idle_sync()) << "a pending preview does not count";
    // The preview result comes second in the order; either way it leaves preparing and redraws the dialog.
    ASSERT_TRUE(pump_until(*state, [&] { return !state->preview_rx.has_value(); }));
    EXPECT_NE(state->preview.kind, PrintPreview::Kind::preparing);
    EXPECT_TRUE(shows(*state, kPrintDialog));
}

TEST_F(PrintFlow, APreviewArrivingAfterTheDialogWasLeftDoesNotBringItBack) {
    auto state = loaded_root();
    choose(*state, "/tmp/report.pdf");
    surface::execute(*state, CloseScan{});  // the back button
    settle(*state);
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_FALSE(shows(*state, kPrintDialog));
}

TEST_F(PrintFlow, PreviewsAreDrawnOutsideTheProgramAndOnlyForRegularFiles) {
    auto state = loaded_root();
    std::ofstream(m_dir / "note.txt") << "A short note to print.";
    choose(*state, m_dir / "note.txt");
    ASSERT_TRUE(pump_until(
        *state, [&] { return !state->preview_rx.has_value(); }, std::chrono::seconds(15)));
    ASSERT_EQ(state->preview.kind, PrintPreview::Kind::ready);
    EXPECT_LE(std::max(state->preview.image.width, state->preview.image.height), 720U);
    EXPECT_EQ(state->preview.image.pages, 0U) << "how a text paginates is the printer's business";
    // A named pipe would block whoever opens it for reading: no preview, and nothing is printed.
    const auto fifo = m_dir / "fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    choose(*state, fifo);
    ASSERT_TRUE(pump_until(*state, [&] { return !state->preview_rx.has_value(); }));
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_TRUE(shows(*state, "Preview unavailable"));
    surface::execute(*state, PrintDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_FALSE(state->notice->positive);
}

TEST_F(PrintFlow, WithoutAPreferredPrinterTheFirstIsChosen) {
    answers.queues = std::vector{queue("Office_laser"), queue("Studio_printer")};
    auto state = loaded_root();
    choose(*state, "/tmp/a.pdf");
    EXPECT_EQ(state->print_printer, std::optional<std::string>("Office_laser"));
}

TEST_F(PrintFlow, FailedPrinterListLeavesNoPrinterChosen) {
    answers.queues = std::unexpected(std::string("cups down"));
    auto state = loaded_root();
    state->print_printer = "stale";
    choose(*state, "/tmp/a.pdf");
    EXPECT_FALSE(state->print_printer.has_value());
    EXPECT_TRUE(state->print_document.has_value());
}

TEST_F(PrintFlow, CancelledPickChangesNothing) {
    auto state = loaded_root();
    state->notice = Notice{"kept", "kept", true};
    const auto* before = state->content.get();
    picker->answer({PickOutcome::Kind::cancelled, {}, {}});
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->document_pick.has_value(); }));
    EXPECT_EQ(state->content.get(), before);
    EXPECT_EQ(state->notice, (Notice{"kept", "kept", true}));
    EXPECT_FALSE(state->print_document.has_value());
    EXPECT_EQ(spawned_count("kora-print-preview"), 0);
}

TEST_F(PrintFlow, FailedPickSetsThePickerNoticeAndShowsHome) {
    auto state = loaded_root();
    surface::execute(*state, ShowQueue{});
    picker->answer({PickOutcome::Kind::failed, {}, "portal gone"});
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->document_pick.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Could not open the file picker",
                                     "Try again, or print from the document's app.", false}));
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(PrintFlow, PickerThreadThatCannotStartCountsAsAFailure) {
    auto state = loaded_root();
    refuse("presswick-document-picker");
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(state->document_pick.has_value());
    ASSERT_TRUE(pump_one(*state));
    EXPECT_FALSE(state->document_pick.has_value());
    ASSERT_TRUE(state->notice.has_value());
    EXPECT_EQ(state->notice->title, "Could not open the file picker");
    EXPECT_EQ(state->notice->detail, "Try again, or print from the document's app.");
}

TEST_F(PrintFlow, FailedPickWithoutSnapshotShowsFirstRun) {
    auto state = bare_root();
    picker->answer({PickOutcome::Kind::failed, {}, "x"});
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->document_pick.has_value(); }));
    EXPECT_TRUE(shows(*state, kFirstRun));
}

TEST_F(PrintFlow, PreviewThreadThatCannotStartMakesThePreviewUnavailableAfterTheNextUpdate) {
    auto state = loaded_root();
    refuse("kora-print-preview");
    choose(*state, "/tmp/report.pdf");
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::preparing);
    ASSERT_TRUE(state->preview_rx.has_value());
    ASSERT_TRUE(pump_one(*state));
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_FALSE(state->preview_rx.has_value());
    EXPECT_TRUE(shows(*state, kPrintDialog));
}

TEST_F(PrintFlow, DocumentChosenBeforeTheFirstSnapshotIsKeptButTheDialogWaits) {
    auto state = bare_root();
    const auto* before = state->content.get();
    refuse("kora-print-preview");
    choose(*state, "/tmp/early.pdf");
    EXPECT_EQ(state->print_document, std::filesystem::path("/tmp/early.pdf"));
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::preparing);
    EXPECT_EQ(spawned_count("kora-print-preview"), 1);
    EXPECT_EQ(state->content.get(), before) << "no print dialog without a snapshot";
    // The snapshot arrives, then the preview result recomposes the dialog.
    state->snapshot = DeviceSnapshot{std::vector{queue("Studio_printer")}, std::vector<printing::PrintJob>{},
                                     std::vector<printing::Scanner>{}};
    ASSERT_TRUE(pump_one(*state));
    EXPECT_TRUE(shows(*state, kPrintDialog));
}

TEST_F(PrintFlow, ChoosingAnotherDocumentRestartsThePreview) {
    auto state = loaded_root();
    refuse("kora-print-preview");
    choose(*state, "/tmp/a.pdf");
    choose(*state, "/tmp/b.pdf");
    EXPECT_EQ(state->print_document, std::filesystem::path("/tmp/b.pdf"));
    EXPECT_EQ(spawned_count("kora-print-preview"), 2);
}

TEST_F(PrintFlow, ChoosePrintPrinterSetsThePrinterAndRedrawsTheDialog) {
    auto state = loaded_root();
    choose(*state, "/tmp/a.pdf");
    surface::execute(*state, ChoosePrintPrinter{"Office_laser"});
    EXPECT_EQ(state->print_printer, std::optional<std::string>("Office_laser"));
    EXPECT_TRUE(shows(*state, kPrintDialog));
}

TEST_F(PrintFlow, ChoosePrintPrinterWithoutADocumentInstallsNothing) {
    auto state = loaded_root();
    const auto* before = state->content.get();
    surface::execute(*state, ChoosePrintPrinter{"Office_laser"});
    EXPECT_EQ(state->content.get(), before);
}

TEST_F(PrintFlow, PrintingSendsTheDocumentAndKeepsTheDialogUntilTheRefresh) {
    auto state = loaded_root();
    choose(*state, report());
    ASSERT_TRUE(pump_until(*state, [&] { return !state->preview_rx.has_value(); }));
    PreviewImage seen;
    seen.pages = 3;  // the preview's page count goes with the document
    state->preview = PrintPreview::ready(seen);
    (void)state->copies.write_from_control(2.0);
    (void)state->two_sided.write_from_control(true);
    const auto* dialog = state->content.get();
    service->clear_calls();
    surface::execute(*state, PrintDocument{});
    EXPECT_FALSE(state->print_document.has_value());
    EXPECT_FALSE(state->print_printer.has_value());
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_FALSE(state->preview_rx.has_value());
    EXPECT_EQ(state->content.get(), dialog) << "the dialog stays until the refresh";
    EXPECT_EQ(spawned_count("kora-print-document"), 1);
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice,
              (Notice{"Document sent to printer", "report.pdf was sent to Studio printer.", true}));
    EXPECT_TRUE(wait_for_call(printed("2,true,3")));
    EXPECT_TRUE(state->refresh_rx.has_value()) << "the outcome starts a refresh";
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(PrintFlow, FailedPrintShowsTheFixedSentenceNotTheServiceText) {
    auto state = loaded_root();
    choose(*state, report());
    service->set_operation_result(std::unexpected(std::string("client-error-not-possible")));
    surface::execute(*state, PrintDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Could not print document",
                                     "report.pdf was not sent. Check the printer and try again.", false}));
}

TEST_F(PrintFlow, DocumentNameThatIsNotUtf8IsCalledDocument) {
    auto state = loaded_root();
    const auto name = m_dir / "\xff\xfe.pdf";
    std::ofstream(name) << "%PDF-1.4 a document";
    choose(*state, name);
    surface::execute(*state, PrintDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice->detail, "Document was sent to Studio printer.");
    EXPECT_TRUE(wait_for_call("print_document(Studio_printer," + name.string() + ",1,false)"))
        << "the path's bytes reach the print service unchanged";
}

TEST_F(PrintFlow, OnlyAReadableNonEmptyRegularFileIsSent) {
    std::ofstream(m_dir / "empty.pdf").flush();
    for (const auto& path : {m_dir / "empty.pdf", m_dir, m_dir / "gone.pdf"}) {
        auto state = loaded_root();
        choose(*state, path);
        service->clear_calls();
        surface::execute(*state, PrintDocument{});
        ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
        EXPECT_FALSE(state->notice->positive) << path;
        for (const auto& call : service_calls()) {
            EXPECT_FALSE(call.starts_with("print_document(")) << path;
        }
    }
}

TEST_F(PrintFlow, PrintWithoutAPrinterDoesNothingAndClearsTheDocument) {
    answers.queues = std::vector<printing::PrintQueue>{};
    auto state = loaded_root();
    choose(*state, "/tmp/report.pdf");
    ASSERT_FALSE(state->print_printer.has_value());
    surface::execute(*state, PrintDocument{});
    EXPECT_FALSE(state->print_document.has_value());
    EXPECT_EQ(spawned_count("kora-print-document"), 0);
    EXPECT_FALSE(state->notice.has_value());
}

TEST_F(PrintFlow, PrintWithoutADocumentDoesNothingAndClearsThePrinter) {
    auto state = loaded_root();
    state->print_printer = "Studio_printer";
    surface::execute(*state, PrintDocument{});
    EXPECT_FALSE(state->print_printer.has_value());
    EXPECT_EQ(spawned_count("kora-print-document"), 0);
}

TEST_F(PrintFlow, CopiesAreClamped) {
    EXPECT_EQ(print_with_copies(0.0), printed("1,false"));
    EXPECT_EQ(print_with_copies(150.0), printed("99,false"));
    EXPECT_EQ(print_with_copies(2.4), printed("2,false"));
    EXPECT_EQ(print_with_copies(2.6), printed("3,false"));
    EXPECT_EQ(print_with_copies(std::nan("")), printed("1,false"));
    EXPECT_EQ(print_with_copies(-std::numeric_limits<double>::infinity()), printed("1,false"));
    EXPECT_EQ(print_with_copies(std::numeric_limits<double>::infinity()), printed("99,false"));
}

TEST_F(PrintFlow, PrintThreadThatCannotStartHasNoEffect) {
    auto state = loaded_root();
    choose(*state, "/tmp/report.pdf");
    refuse("kora-print-document");
    surface::execute(*state, PrintDocument{});
    settle(*state);
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_FALSE(state->refresh_rx.has_value());
}

TEST_F(PrintFlow, CancelPrintClearsEverythingAndShowsHome) {
    auto state = loaded_root();
    choose(*state, "/tmp/report.pdf");
    (void)state->copies.write_from_control(5.0);
    (void)state->two_sided.write_from_control(true);
    surface::execute(*state, CancelPrint{});
    EXPECT_FALSE(state->print_document.has_value());
    EXPECT_FALSE(state->print_printer.has_value());
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_FALSE(state->preview_rx.has_value());
    EXPECT_EQ(state->copies.get(), 1.0);
    EXPECT_FALSE(state->two_sided.get());
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(PrintFlow, ResetsAreNotWrittenWhenPublicationIsRefused) {
    auto state = loaded_root();
    (void)state->copies.write_from_control(5.0);
    state->copies.wake().revoke();
    surface::execute(*state, CancelPrint{});
    EXPECT_EQ(state->copies.get(), 5.0);
}

// The scanned document's print copy: owner-only, in a folder of its own, removed when done with.
struct CopyOnDisk {
    std::filesystem::path file;
    [[nodiscard]] bool gone() const {
        return !std::filesystem::exists(file) && !std::filesystem::exists(file.parent_path());
    }
};

CopyOnDisk check_print_copy(const Presswick& state) {
    EXPECT_TRUE(state.print_copy != nullptr);
    EXPECT_TRUE(state.print_document.has_value());
    if (!state.print_document) {
        return {};
    }
    const auto file = *state.print_document;
    EXPECT_EQ(file.filename(), "Scanned document.pdf");
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::ifstream in(file, std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    return {file};
}

TEST_F(PrintFlow, ScannedDocumentOpensThePrintDialogAndItsCopyGoesWhenTheDialogIsLeft) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, PageScanned{page(1, 20, 30)});
    surface::execute(*state, PageScanned{page(2, 20, 30)});
    surface::execute(*state, PrintScannedDocument{});
    EXPECT_TRUE(shows(*state, "Preparing the document for printing…"));
    surface::execute(*state, PrintScannedDocument{});
    EXPECT_EQ(spawned_count("kora-print-scanned-document"), 1) << "one copy at a time";
    ASSERT_TRUE(pump_until(*state, [&] { return state->print_copy != nullptr; }));
    EXPECT_TRUE(shows(*state, kPrintDialog));
    EXPECT_EQ(state->print_printer, std::optional<std::string>("Studio_printer"));
    const auto copy = check_print_copy(*state);
    EXPECT_FALSE(copy.gone());
    // Cancel: back to the scanned pages, and the copy is gone.
    surface::execute(*state, CancelPrint{});
    EXPECT_TRUE(copy.gone());
    EXPECT_TRUE(shows(*state, kScanResult));
    EXPECT_EQ(state->pages.size(), 2U);
    // The page header's back control leaves it too.
    surface::execute(*state, PrintScannedDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->print_copy != nullptr; }));
    const auto again = check_print_copy(*state);
    surface::execute(*state, CloseScan{});
    EXPECT_TRUE(again.gone());
    EXPECT_FALSE(state->print_document.has_value());
}

TEST_F(PrintFlow, PrintedScannedDocumentIsSentWithItsOptionsAndItsCopyRemovedOnceAccepted) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, PageScanned{page(1, 20, 30)});
    surface::execute(*state, PrintScannedDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->print_copy != nullptr; }));
    const auto copy = check_print_copy(*state);
    (void)state->copies.write_from_control(3.0);
    (void)state->two_sided.write_from_control(true);
    service->clear_calls();
    surface::execute(*state, PrintDocument{});
    EXPECT_EQ(state->print_copy, nullptr) << "the print worker holds it now";
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice,
              (Notice{"Document sent to printer", "Scanned document.pdf was sent to Studio printer.", true}));
    bool sent = false;
    for (const auto& call : service_calls()) {
        sent = sent || call.starts_with("print_document(Studio_printer," + copy.file.string() + ",3,true");
    }
    EXPECT_TRUE(sent);
    EXPECT_TRUE(pump_until(*state, [&] { return copy.gone(); }));
}

TEST_F(PrintFlow, AScannedDocumentLeftWhileItsCopyIsMadeOpensNoDialog) {
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, PageScanned{page(1, 20, 30)});
    refuse("kora-print-scanned-document");
    surface::execute(*state, PrintScannedDocument{});
    EXPECT_FALSE(state->print_copy_making) << "no thread, nothing to wait for";
    allow_all();
    surface::execute(*state, PrintScannedDocument{});
    ASSERT_TRUE(state->print_copy_making);
    surface::execute(*state, CloseScan{});
    settle(*state);
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_EQ(state->print_copy, nullptr);
    EXPECT_FALSE(state->print_document.has_value());
    // A copy that could not be written says so on the pages.
    surface::execute(*state, OpenScan{});
    state->current_page = state->pages[0];
    state->print_copy_making = true;
    surface::execute(*state, PrintCopyMade{std::unexpected(std::string("No space left on device"))});
    EXPECT_EQ(state->notice->title, "Could not print the scanned document");
}

TEST_F(PrintFlow, PrintCopiesLeftAtTheEndAreRemoved) {
    auto copy = scan::PrintCopy::write(std::vector<std::uint8_t>{'%', 'P', 'D', 'F', '-'});
    ASSERT_TRUE(copy.has_value()) << copy.error();
    const CopyOnDisk file{(*copy)->path()};
    EXPECT_FALSE(file.gone());
    live_files::remove_all();
    EXPECT_TRUE(file.gone());
    copy->reset();  // and its owner's end removes nothing more
    EXPECT_TRUE(file.gone());
}

}  // namespace
}  // namespace presswick::testing
