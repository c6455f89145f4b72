// The print flow: the document picker and its result, the preview result, printing and cancelling.

#include "display.h"
#include "kora_ui/translate.h"
#include "print_choices.h"
#include "scan/print_copy.h"
#include "surface/execute_internal.h"
#include "views/common.h"
#include "workers.h"

namespace presswick::surface {

namespace {

void publish_cells(Presswick& state, const PrintCells& cells) {
    (void)state.two_sided.publish(cells.two_sided);
    (void)state.print_pages.publish(cells.pages);
    (void)state.print_paper.publish(cells.paper);
    (void)state.print_orientation.publish(cells.orientation);
    (void)state.print_colour.publish(cells.colour);
    (void)state.print_quality.publish(cells.quality);
    (void)state.print_per_sheet.publish(cells.per_sheet);
    (void)state.print_collate.publish(cells.collate);
}

// Copies 1, one side, every page, and nothing offered until the next printer's options are read.
void reset_print_options(Presswick& state) {
    (void)state.copies.publish(1.0);
    publish_cells(state, PrintCells{{}, {}, 0, 0, 0, "1", true, false});
    state.print_options.reset();
    state.preview_page = 1;
}

void read_printer_options(Presswick& state) {
    if (state.print_printer) {
        (void)workers::start_printer_options(state.operations_tx, *state.print_printer);
    }
}

// What the preview showed last: its page count, 0 when none is known.
std::uint32_t known_pages(const Presswick& state) {
    return state.preview.kind == PrintPreview::Kind::ready ? state.preview.image.pages : 0;
}

// The options the dialog offers for the chosen printer (nothing while they are read or unknown).
std::optional<os_actions::printing::PrinterOptions> offered_for_printer(const Presswick& state) {
    if (state.print_options && state.print_printer && state.print_options->queue == *state.print_printer) {
        return state.print_options->options;
    }
    return std::nullopt;
}

void drop_preview(Presswick& state) {
    state.preview = PrintPreview::unavailable();
    state.preview_rx.reset();
}

// The preferred printer, else the first one; nothing without a printer list.
std::optional<std::string> initial_printer(const Presswick& state) {
    if (!state.snapshot || !state.snapshot->printers || state.snapshot->printers->empty()) {
        return std::nullopt;
    }
    const auto& printers = *state.snapshot->printers;
    for (const auto& printer : printers) {
        if (printer.is_default) {
            return printer.name;
        }
    }
    return printers.front().name;
}

}  // namespace

// Asking again while a picker has not answered (a dialog left behind, a hung portal) closes that request
// and opens a new one, so a picker that never answers cannot block printing for the session.
void apply(Presswick& state, ChooseDocument) {
    state.document_pick.reset();
    reset_print_options(state);
    drop_preview(state);
    state.print_copy.reset();
    state.document_pick =
        kora_ui::PickRequest::open(kora_ui::tr("Choose a document to print"), kora_ui::tr("Choose"))
            .filter(kora_ui::FileFilter(kora_ui::tr("Documents and images"))
                        .mimetype("application/pdf")
                        .mimetype("image/png")
                        .mimetype("image/jpeg")
                        .mimetype("text/plain"))
            .all_files()
            .thread_name("presswick-document-picker")
            .send();
}

// The print dialog for a document: previewed, on the preferred printer.
void open_print_dialog(Presswick& state, std::filesystem::path document) {
    state.print_document = std::move(document);
    state.print_printer = initial_printer(state);
    read_printer_options(state);
    state.preview = PrintPreview::preparing();
    state.preview_rx.reset();
    state.preview_rx = workers::start_preview(*state.print_document);
    // Before the first snapshot the dialog waits; it is still the page the user asked for.
    if (!show(state, shown::PrintDialog{})) {
        state.shown_view = shown::PrintDialog{};
    }
}

void apply(Presswick& state, PrintScannedDocument) {
    if (state.pages.empty() || state.print_copy_making) {
        return;
    }
    // Compressing every page takes a while: the copy is made beside the window.
    state.print_copy_making = scan::start_print_copy_worker(state.operations_tx, state.pages);
    install_scan_view(state);
}

void apply(Presswick& state, PrintCopyMade op) {
    if (!std::exchange(state.print_copy_making, false) || !state.current_page) {
        return;  // the pages were left meanwhile: the copy goes with the outcome
    }
    if (!op.copy) {
        state.notice = Notice{
            kora_ui::tr("Could not print the scanned document"),
            kora_ui::tr(
                "There is no room for its copy in the temporary folder. Save it, then print the file."),
            false};
        install_scan_view(state);
        return;
    }
    reset_print_options(state);
    drop_preview(state);
    state.print_copy = std::move(*op.copy);
    open_print_dialog(state, state.print_copy->path());
}

void apply_document_pick(Presswick& state, kora_ui::PickPoll poll) {
    switch (poll.kind) {
        case kora_ui::PickPoll::Kind::path:
            reset_print_options(state);
            open_print_dialog(state, std::move(poll.path));
            return;
        case kora_ui::PickPoll::Kind::cancelled:
        case kora_ui::PickPoll::Kind::pending:
            return;
        case kora_ui::PickPoll::Kind::failed:
        case kora_ui::PickPoll::Kind::disconnected:
            state.notice = Notice{kora_ui::tr("Could not open the file picker"),
                                  kora_ui::tr("Try again, or print from the document's app."), false};
            install_home(state);
            return;
    }
}

void apply_preview(Presswick& state, PreviewResult result) {
    // The page drawn last stays until the next one is there.
    if (result) {
        state.preview_page = result->page;
    }
    state.preview = result ? PrintPreview::ready(std::move(*result)) : PrintPreview::unavailable();
    state.preview_rx.reset();
    if (std::holds_alternative<shown::PrintDialog>(state.shown_view)) {
        install_print_dialog(state);
    }
}

void apply(Presswick& state, ChoosePrintPrinter op) {
    const bool changed = state.print_printer != op.name;
    state.print_printer = std::move(op.name);
    if (changed && state.print_document) {
        read_printer_options(state);
    }
    install_print_dialog(state);
}

void apply(Presswick& state, PrinterOptionsRead op) {
    if (!state.print_document || state.print_printer != op.queue) {
        return;  // for a printer no longer chosen
    }
    if (!op.result) {
        state.print_options.reset();
    } else {
        // What was chosen for the printer before stays where this one offers it too.
        std::optional<os_actions::printing::JobOptions> keep;
        if (state.print_options) {
            auto cells = print_cells(state);
            cells.pages.clear();  // the pages typed stay as they are anyway
            if (auto chosen = job_options(cells, state.print_options->options, 2, 0)) {
                keep = std::move(*chosen);
            }
        }
        publish_cells(state, cells_for(*op.result, keep, state.print_pages.get()));
        state.print_options = Presswick::OfferedOptions{std::move(op.queue), std::move(*op.result)};
    }
    // A dialog left meanwhile stays left (its document is kept until another is chosen).
    if (std::holds_alternative<shown::PrintDialog>(state.shown_view)) {
        install_print_dialog(state);
    }
}

void apply(Presswick& state, TurnPreviewPage op) {
    const auto pages = known_pages(state);
    if (!state.print_document || pages == 0) {
        return;
    }
    const auto wanted = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(std::int64_t{state.preview_page} + op.step, 1, std::int64_t{pages}));
    if (wanted == state.preview_page) {
        return;
    }
    state.preview_page = wanted;
    // One page at a time: a page still being drawn is dropped (its helper stopped) for this one.
    state.preview_rx.reset();
    state.preview_rx = workers::start_preview(*state.print_document, wanted);
    install_print_dialog(state);
}

PrintCells print_cells(const Presswick& state) {
    return {state.print_pages.get(),   state.print_paper.get(),   state.print_orientation.get(),
            state.print_colour.get(),  state.print_quality.get(), state.print_per_sheet.get(),
            state.print_collate.get(), state.two_sided.get()};
}

std::uint64_t print_cells_version(const Presswick& state) {
    return state.copies.version() + state.two_sided.version() + state.print_pages.version() +
           state.print_paper.version() + state.print_orientation.version() + state.print_colour.version() +
           state.print_quality.version() + state.print_per_sheet.version() + state.print_collate.version();
}

bool follow_print_cells(Presswick& state) {
    if (!std::holds_alternative<shown::PrintDialog>(state.shown_view) ||
        print_cells_version(state) == state.print_cells_seen) {
        return false;
    }
    // Seen whether or not the dialog can be composed again (a named surface has no snapshot): otherwise
    // every update would try again.
    state.print_cells_seen = print_cells_version(state);
    return show(state, shown::PrintDialog{});
}

void apply(Presswick& state, PrintDocument) {
    std::uint32_t pages = 0;
    if (state.preview.kind == PrintPreview::Kind::ready) {
        pages = state.preview.image.pages;
    }
    const auto copies = copies_for_printing(state.copies.get());
    auto options = job_options(print_cells(state), offered_for_printer(state), copies, pages);
    if (!options && state.print_document && state.print_printer) {
        return;  // the pages typed do not do: the dialog says so and waits
    }
    auto document = std::exchange(state.print_document, std::nullopt);
    auto printer = std::exchange(state.print_printer, std::nullopt);
    if (!document || !printer) {
        return;
    }
    const auto document_name = file_name_or(*document, kora_ui::tr("Document"));
    const auto printer_name = display_name(*printer);
    drop_preview(state);
    workers::NoticePair notices{
        Notice{kora_ui::tr("Document sent to printer"),
               views::fill(kora_ui::tr("{} was sent to {}."), document_name, printer_name), true},
        Notice{kora_ui::tr("Could not print document"),
               views::fill(kora_ui::tr("{} was not sent. Check the printer and try again."), document_name),
               false}};
    (void)workers::start_print_document(state.operations_tx, std::move(*document), std::move(*printer),
                                        std::move(*options),
                                        pages > 0 ? std::optional<std::uint32_t>(pages) : std::nullopt,
                                        std::move(notices), std::exchange(state.print_copy, nullptr));
}

void apply(Presswick& state, CancelPrint) {
    state.print_document.reset();
    drop_preview(state);
    state.print_printer.reset();
    reset_print_options(state);
    // Leaving the dialog of the scanned document goes back to its pages.
    if (std::exchange(state.print_copy, nullptr) && state.current_page) {
        install_scan_view(state);
        return;
    }
    install_home(state);
}

}  // namespace presswick::surface
