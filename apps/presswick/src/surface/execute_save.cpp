// Saving: the two save pickers and what their result starts.

#include "kora_ui/translate.h"
#include "scan/saving.h"
#include "surface/execute_internal.h"
#include "views/common.h"

namespace presswick::surface {

void apply(Presswick& state, SavePage) {
    if (!state.current_page) {
        return;
    }
    // A picker still open is closed: the new request replaces it (and a save for closing with it).
    state.save_pick.reset();
    state.close_after_save = false;
    state.save_as_document = false;
    state.save_pick = kora_ui::PickRequest::save(kora_ui::tr("Save scanned page"), kora_ui::tr("Save"))
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
    state.save_pick = kora_ui::PickRequest::save(kora_ui::tr("Save scanned document"), kora_ui::tr("Save"))
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
            state.notice = Notice{kora_ui::tr("Could not open the file picker"),
                                  kora_ui::tr("Try saving the scanned page again."), false};
            install_scan_view(state);
            return;
        case kora_ui::PickPoll::Kind::path:
            break;
    }
    auto path = scan::with_default_extension(std::move(poll.path), document);
    if (!document && !state.current_page) {
        return;
    }
    const auto name = file_name_or(path, "");
    const std::string saved = name.empty() ? std::string(kora_ui::tr("Saved the page."))
                                           : views::fill(kora_ui::tr("Saved {}."), name);
    const Notice success = document ? Notice{kora_ui::tr("Scanned document saved"), saved, true}
                                    : Notice{kora_ui::tr("Scanned page saved"), saved, true};
    const Notice failure = document ? Notice{kora_ui::tr("Could not save scanned document"),
                                             kora_ui::tr("Choose another location and try again."), false}
                                    : Notice{kora_ui::tr("Could not save scanned page"),
                                             kora_ui::tr("Choose another location and try again."), false};
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
