// Saving: the two save pickers and what their result starts.

#include "scan/saving.h"
#include "surface/execute_internal.h"

namespace presswick::surface {

void apply(Presswick& state, SavePage) {
    if (!state.current_page) {
        return;
    }
    // A picker still open is closed: the new request replaces it (and a save for closing with it).
    state.save_pick.reset();
    state.close_after_save = false;
    state.save_as_document = false;
    state.save_pick = kora_ui::PickRequest::save("Save scanned page", "Save")
                          .suggested_name("Scanned page.png")
                          .thread_name("presswick-scan-save-picker")
                          .send();
}

void apply(Presswick& state, SaveDocument) {
    if (state.pages.empty()) {
        return;
    }
    state.save_pick.reset();
    state.save_as_document = true;
    state.save_pick = kora_ui::PickRequest::save("Save scanned document", "Save")
                          .suggested_name("Scanned document.pdf")
                          .thread_name("presswick-scan-document-save-picker")
                          .send();
}

void apply(Presswick& state, SaveBeforeClosing) {
    if (!state.has_unsaved_pages()) {
        state.close_requested = true;
        return;
    }
    state.close_after_save = true;
    apply(state, SaveDocument{});
}

void apply_save_pick(Presswick& state, kora_ui::PickPoll poll) {
    const bool document = std::exchange(state.save_as_document, false);
    // Only a document that is being written can still close the window.
    if (!document || poll.kind != kora_ui::PickPoll::Kind::path) {
        state.close_after_save = false;
    }
    switch (poll.kind) {
        case kora_ui::PickPoll::Kind::cancelled:
        case kora_ui::PickPoll::Kind::pending:
            return;
        case kora_ui::PickPoll::Kind::failed:
        case kora_ui::PickPoll::Kind::disconnected:
            state.notice =
                Notice{"Could not open the file picker", "Try saving the scanned page again.", false};
            install_scan_view(state);
            return;
        case kora_ui::PickPoll::Kind::path:
            break;
    }
    auto path = scan::with_default_extension(std::move(poll.path), document);
    if (!document && !state.current_page) {
        return;
    }
    const auto saved = "Saved " + file_name_or(path, "the page") + ".";
    const Notice success =
        document ? Notice{"Scanned document saved", saved, true} : Notice{"Scanned page saved", saved, true};
    const Notice failure =
        document ? Notice{"Could not save scanned document", "Choose another location and try again.", false}
                 : Notice{"Could not save scanned page", "Choose another location and try again.", false};
    if (document) {
        // The PDF is built on the worker: the pages' buffers are shared and never changed in place.
        (void)scan::start_document_save_worker(state.operations_tx, std::move(path), state.pages, success,
                                               failure, state.document_version);
    } else {
        (void)scan::start_page_export_worker(state.operations_tx, std::move(path), *state.current_page,
                                             success, failure);
    }
}

}  // namespace presswick::surface
