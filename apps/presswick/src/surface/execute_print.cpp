// The print flow: the document picker and its result, the preview result, printing and cancelling.

#include "display.h"
#include "surface/execute_internal.h"
#include "workers.h"

namespace presswick::surface {

namespace {

void reset_print_options(Presswick& state) {
    (void)state.copies.publish(1.0);
    (void)state.two_sided.publish(false);
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

void apply(Presswick& state, ChooseDocument) {
    if (state.document_pick) {
        return;
    }
    reset_print_options(state);
    drop_preview(state);
    state.document_pick = kora_ui::PickRequest::open("Choose a document to print", "Choose")
                              .filter(kora_ui::FileFilter("Documents and images")
                                          .mimetype("application/pdf")
                                          .mimetype("image/png")
                                          .mimetype("image/jpeg")
                                          .mimetype("text/plain"))
                              .all_files()
                              .thread_name("presswick-document-picker")
                              .send();
}

void apply_document_pick(Presswick& state, kora_ui::PickPoll poll) {
    switch (poll.kind) {
        case kora_ui::PickPoll::Kind::path:
            state.print_document = std::move(poll.path);
            state.print_printer = initial_printer(state);
            state.preview = PrintPreview::preparing();
            state.preview_rx.reset();
            state.preview_rx = workers::start_preview(*state.print_document);
            // Before the first snapshot the dialog waits; it is still the page the user asked for.
            if (!show(state, shown::PrintDialog{})) {
                state.shown_view = shown::PrintDialog{};
            }
            return;
        case kora_ui::PickPoll::Kind::cancelled:
        case kora_ui::PickPoll::Kind::pending:
            return;
        case kora_ui::PickPoll::Kind::failed:
        case kora_ui::PickPoll::Kind::disconnected:
            state.notice = Notice{"Could not open the file picker",
                                  "Try again, or print from the document's app.", false};
            install_home(state);
            return;
    }
}

void apply_preview(Presswick& state, PreviewResult result) {
    state.preview = result ? PrintPreview::ready(std::move(*result)) : PrintPreview::unavailable();
    state.preview_rx.reset();
    if (std::holds_alternative<shown::PrintDialog>(state.shown_view)) {
        install_print_dialog(state);
    }
}

void apply(Presswick& state, ChoosePrintPrinter op) {
    state.print_printer = std::move(op.name);
    install_print_dialog(state);
}

void apply(Presswick& state, PrintDocument) {
    auto document = std::exchange(state.print_document, std::nullopt);
    auto printer = std::exchange(state.print_printer, std::nullopt);
    if (!document || !printer) {
        return;
    }
    const auto document_name = file_name_or(*document, "Document");
    const auto printer_name = display_name(*printer);
    std::optional<std::uint32_t> pages;
    if (state.preview.kind == PrintPreview::Kind::ready && state.preview.image.pages > 0) {
        pages = state.preview.image.pages;
    }
    drop_preview(state);
    const auto copies = copies_for_printing(state.copies.get());
    const bool two_sided = state.two_sided.get();
    workers::NoticePair notices{
        Notice{"Document sent to printer", document_name + " was sent to " + printer_name + ".", true},
        Notice{"Could not print document", document_name + " was not sent. Check the printer and try again.",
               false}};
    (void)workers::start_print_document(state.operations_tx, std::move(*document), std::move(*printer),
                                        copies, two_sided, pages, std::move(notices));
}

void apply(Presswick& state, CancelPrint) {
    state.print_document.reset();
    drop_preview(state);
    state.print_printer.reset();
    reset_print_options(state);
    install_home(state);
}

}  // namespace presswick::surface
