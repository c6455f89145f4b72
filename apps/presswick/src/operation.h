// Operation: every request and worker outcome that can change the application state, in one union.
// The order of the alternatives is fixed; index() is the variant's number.
#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "notice.h"
#include "printing/printing.h"
#include "scan/scanned_page.h"

namespace presswick::scan {
class PrintCopy;
}

namespace presswick {

// What a re-recognition worker found: the text (absent when there were no words) and the status line.
struct RecognizedText {
    std::optional<std::string> text;
    std::string status;
};

struct Refresh {};
struct CloseScan {};
struct ShowQueue {};
struct ShowHistory {};
struct ShowDiagnostics {};
struct FindPrinters {};
struct PrintersFound {
    std::expected<std::vector<os_actions::printing::DriverlessPrinter>, std::string> result;
};
struct AddPrinter {
    os_actions::printing::DriverlessPrinter printer;
};
struct ShowDevice {
    std::string name;
};
struct SetPreferredPrinter {
    std::string name;
};
struct SetPrinterEnabled {
    std::string name;
    bool enabled = false;
};
struct SelectJob {
    std::string id;
};
struct CancelJob {
    std::string id;
};
struct RetryJob {
    std::string id;
};
struct OperationFinished {
    Notice notice;
    // Set by a document save that succeeded: the version of the page list it wrote.
    std::optional<std::uint64_t> saved_document_version = std::nullopt;
};
struct ChooseDocument {};
struct ChoosePrintPrinter {
    std::string name;
};
struct PrintDocument {};
struct CancelPrint {};
struct OpenScan {};
struct ChooseScanner {
    std::string id;
};
struct ScanPage {};
// One page of a scan. A page of a feeder scan (`more`) leaves the scan running until its ScanEnded.
struct PageScanned {
    std::expected<ScannedPage, std::string> result;
    bool more = false;
    std::uint64_t scan = 0;  // which press it came from
};
// "presswick.scan.stop": the scan stops after the sheet being read; the pages so far stay.
struct StopScan {};
// "presswick.scan.print": the print dialog for the scanned document, once its copy is written.
struct PrintScannedDocument {};
// The scanned document's copy for printing, made on "kora-print-scanned-document", or why not.
struct PrintCopyMade {
    std::expected<std::shared_ptr<const scan::PrintCopy>, std::string> copy;
};
// The end of a feeder scan: how it ended, or why it failed before any page.
struct ScanEnded {
    std::expected<os_actions::printing::ScanEnd, std::string> end;
    std::uint64_t scan = 0;
};
struct SavePage {};
struct SaveDocument {};
struct CopyText {};
struct ScanAnother {};
struct PreviousPage {};
struct NextPage {};
struct MovePageEarlier {};
struct MovePageLater {};
struct DeletePage {};
// "presswick.scan.rotate" turns the page a quarter turn clockwise, "presswick.scan.rotate-left" back.
struct RotatePage {
    bool counter_clockwise = false;
};
struct CropPage {};
struct RecognizePage {};
struct PageRecognized {
    PageKey key;  // the page's encoded buffer as the worker read it
    std::expected<RecognizedText, std::string> result;
};

// A printer or job operation that a print server refused for want of credentials: the window asks for
// them and, given, runs the same operation once more (asking no more); otherwise `failure` shows.
struct CredentialsWanted {
    std::string server;
    Notice failure;
    std::function<bool()> retry;  // starts the operation's worker again; false when it could not start
};

// What the chosen printer offers, read by "kora-printer-options" when the printer was chosen.
struct PrinterOptionsRead {
    std::string queue;
    os_actions::printing::Result<os_actions::printing::PrinterOptions> result;
};
// Shows the preview page `step` pages on (back when negative), within the document.
struct TurnPreviewPage {
    std::int32_t step = 1;
};

using Operation =
    std::variant<Refresh, CloseScan, ShowQueue, ShowHistory, ShowDiagnostics, FindPrinters, PrintersFound,
                 AddPrinter, ShowDevice, SetPreferredPrinter, SetPrinterEnabled, SelectJob, CancelJob,
                 RetryJob, OperationFinished, ChooseDocument, ChoosePrintPrinter, PrintDocument, CancelPrint,
                 OpenScan, ChooseScanner, ScanPage, PageScanned, SavePage, SaveDocument, CopyText,
                 ScanAnother, PreviousPage, NextPage, MovePageEarlier, MovePageLater, DeletePage, RotatePage,
                 CropPage, RecognizePage, PageRecognized, CredentialsWanted, PrinterOptionsRead,
                 TurnPreviewPage, StopScan, ScanEnded, PrintScannedDocument, PrintCopyMade>;

static_assert(std::variant_size_v<Operation> == 43);
static_assert(std::is_same_v<std::variant_alternative_t<35, Operation>, PageRecognized>);
static_assert(std::is_same_v<std::variant_alternative_t<36, Operation>, CredentialsWanted>);

}  // namespace presswick
