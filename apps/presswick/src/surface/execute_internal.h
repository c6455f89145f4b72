// Inside the executor: the shared recompositions and the per-flow handlers that execute() dispatches to.
// Every function here runs on the UI thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "print_choices.h"
#include "surface/presswick.h"

namespace presswick::surface {

// The three shared recompositions (compose.cpp): each shows its page when the state can.
void install_home(Presswick& state);
void install_scan_view(Presswick& state);
void install_print_dialog(Presswick& state);

// Makes page i current: index, a copy (or nothing when i is no page), and the whole-page crop.
void make_current(Presswick& state, std::size_t index);
// current_page = a copy of the page at current_index, or nothing.
void refresh_current_copy(Presswick& state);
[[nodiscard]] bool has_page(const Presswick& state, std::size_t index);
// The page list changed since it was last saved (a scan, an edit, new text).
inline void note_pages_changed(Presswick& state) {
    ++state.document_version;
}

// Starts a refresh, replacing (dropping) any pending one.
void begin_refresh(Presswick& state);

// The file-name part of a path when it is valid UTF-8, else `fallback`.
[[nodiscard]] std::string file_name_or(const std::filesystem::path& path, const std::string& fallback);
// Copies from the local state: clamped to 1..99, rounded, read back as a 16-bit number; 1 otherwise.
[[nodiscard]] std::uint16_t copies_for_printing(double value);

// The print dialog's cells, and the sum of their versions (which any change of one moves).
[[nodiscard]] PrintCells print_cells(const Presswick& state);
[[nodiscard]] std::uint64_t print_cells_version(const Presswick& state);
// Rebuilds the shown print dialog when one of its cells changed since it was built; true when it did.
bool follow_print_cells(Presswick& state);

// One finished result, in the collection order; false when nothing was pending.
[[nodiscard]] bool collect_one_result(Presswick& state);

// Handlers by flow (execute_navigation.cpp, execute_devices.cpp, execute_print.cpp, execute_scan.cpp,
// execute_pages.cpp, execute_save.cpp).
void apply(Presswick& state, Refresh);
void apply(Presswick& state, CloseScan);
void apply(Presswick& state, ShowQueue);
void apply(Presswick& state, ShowHistory);
void apply(Presswick& state, ShowDiagnostics);
void apply(Presswick& state, FindPrinters);
void apply(Presswick& state, PrintersFound op);
void apply(Presswick& state, ShowDevice op);
void apply(Presswick& state, SelectJob op);
void apply_snapshot(Presswick& state, DeviceSnapshot snapshot);
// Live changes (execute_live.cpp): what the server reported waits for the next quiet update, which
// starts when no refresh of either kind is running; its snapshot replaces the last one and the page that
// is showing is composed again over it.
void apply_changes(Presswick& state, os_actions::printing::Changes changes);
void apply_update(Presswick& state, DeviceSnapshot snapshot);
// Shows the page of a desktop notification's target.
void apply_chosen(Presswick& state, const std::string& target);
// Starts the quiet update for the waiting changes when nothing else is reading the service.
void start_waiting_update(Presswick& state);

void apply(Presswick& state, AddPrinter op);
void apply(Presswick& state, SetPreferredPrinter op);
void apply(Presswick& state, SetPrinterEnabled op);
void apply(Presswick& state, CancelJob op);
void apply(Presswick& state, RetryJob op);
void apply(Presswick& state, OperationFinished op);
void apply(Presswick& state, CredentialsWanted op);
void apply(Presswick& state, PrinterOptionsRead op);
void apply(Presswick& state, TurnPreviewPage op);
void apply_credentials(Presswick& state, kora_ui::CredentialsAnswer answer);

void apply(Presswick& state, ChooseDocument);
void apply(Presswick& state, ChoosePrintPrinter op);
void apply(Presswick& state, PrintDocument);
void apply(Presswick& state, CancelPrint);
void apply(Presswick& state, PrintScannedDocument);
void apply(Presswick& state, PrintCopyMade op);
void apply_document_pick(Presswick& state, kora_ui::PickPoll poll);
void apply_preview(Presswick& state, PreviewResult result);

void apply(Presswick& state, OpenScan);
void apply(Presswick& state, ChooseScanner op);
void apply(Presswick& state, ScanPage);
void apply(Presswick& state, PageScanned op);
void apply(Presswick& state, StopScan);
void apply(Presswick& state, ScanEnded op);
void apply(Presswick& state, ScanAnother);
void apply(Presswick& state, ShowPages);
void apply(Presswick& state, CopyText);
void apply(Presswick& state, RecognizePage);
void apply(Presswick& state, PageRecognized op);

void apply(Presswick& state, PreviousPage);
void apply(Presswick& state, NextPage);
void apply(Presswick& state, MovePageEarlier);
void apply(Presswick& state, MovePageLater);
void apply(Presswick& state, DeletePage);
void apply(Presswick& state, RotatePage op);
void apply(Presswick& state, CropPage);

void apply(Presswick& state, SavePage);
void apply(Presswick& state, SaveDocument);
void apply(Presswick& state, SaveBeforeClosing);
void apply_save_pick(Presswick& state, kora_ui::PickPoll poll);

}  // namespace presswick::surface
