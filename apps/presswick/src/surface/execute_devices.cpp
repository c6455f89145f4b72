// Printer and job operations: compose the notice pair, start the worker; OperationFinished; asking for
// the credentials a print server wants.
#include <string.h>  // explicit_bzero

#include <utility>

#include "display.h"
#include "surface/execute_internal.h"
#include "workers.h"

namespace presswick::surface {

namespace {
Notice good(std::string title, std::string detail) {
    return {std::move(title), std::move(detail), true};
}
Notice bad(std::string title, std::string detail) {
    return {std::move(title), std::move(detail), false};
}
}  // namespace

void apply(Presswick& state, AddPrinter op) {
    const auto name = display_name(op.printer.name);
    workers::NoticePair notices{
        good("Printer added", name + " is ready for your apps."),
        bad("Could not add printer", "Check that " + name + " is awake and connected, then try again.")};
    (void)workers::start_add_printer(state.operations_tx, std::move(op.printer), std::move(notices));
}

void apply(Presswick& state, SetPreferredPrinter op) {
    const auto name = display_name(op.name);
    workers::NoticePair notices{
        good("Preferred printer changed",
             "New documents will use " + name + " unless you choose another printer."),
        bad("Could not change the preferred printer", name + " is still available; try again in a moment.")};
    (void)workers::start_default_printer(state.operations_tx, std::move(op.name), std::move(notices));
}

void apply(Presswick& state, SetPrinterEnabled op) {
    const std::string unchanged = "Nothing changed. Check the printer connection and try again.";
    workers::NoticePair notices =
        op.enabled ? workers::NoticePair{good("Printer resumed", "Waiting documents can print now."),
                                         bad("Could not resume printer", unchanged)}
                   : workers::NoticePair{good("Printer paused", "Documents will wait until you resume it."),
                                         bad("Could not pause printer", unchanged)};
    (void)workers::start_toggle_printer(state.operations_tx, std::move(op.name), op.enabled,
                                        std::move(notices));
}

void apply(Presswick& state, CancelJob op) {
    state.selected_job.reset();
    workers::NoticePair notices{
        good("Document canceled", "It was removed from the printer."),
        bad("Could not cancel document", "The document may still print. Check the queue and try again.")};
    (void)workers::start_cancel_job(state.operations_tx, std::move(op.id), std::move(notices));
}

void apply(Presswick& state, RetryJob op) {
    workers::NoticePair notices{good("Document sent again", "It is back in the print queue."),
                                bad("Could not try again", "Check the printer, then try again.")};
    (void)workers::start_retry_job(state.operations_tx, std::move(op.id), std::move(notices));
}

void apply(Presswick& state, OperationFinished op) {
    if (state.close_after_save && !op.notice.positive) {
        state.close_after_save = false;  // the user sees why, and the window stays
    }
    state.notice = std::move(op.notice);
    if (op.saved_document_version) {
        // The save's copies of the pages and its compression buffers are gone by now.
        state.return_memory = true;
        state.saved_version = *op.saved_document_version;
        if (std::exchange(state.close_after_save, false) && !state.has_unsaved_pages()) {
            state.close_requested = true;
        }
    }
    if (state.current_page) {
        install_scan_view(state);
        return;
    }
    begin_refresh(state);
}

// One question at a time: operations refused by the same server wait on it; another server's fails as
// it would have.
void apply(Presswick& state, CredentialsWanted op) {
    if (state.credentials_ask) {
        if (state.credentials_waiting.empty() || state.credentials_waiting.front().server != op.server) {
            apply(state, OperationFinished{std::move(op.failure)});
            return;
        }
        state.credentials_waiting.push_back(std::move(op));
        return;
    }
    state.credentials_ask =
        kora_ui::CredentialsRequest("Sign in to " + op.server,
                                    "The print server " + op.server + " asks for a user name and password.",
                                    "Sign in")
            .thread_name("presswick-credentials")
            .send();
    state.credentials_waiting.push_back(std::move(op));
}

// Given, the credentials are kept for the session and every waiting operation runs once more; otherwise
// each shows its usual failure.
void apply_credentials(Presswick& state, kora_ui::CredentialsAnswer answer) {
    auto waiting = std::exchange(state.credentials_waiting, {});
    const bool given = answer.kind == kora_ui::CredentialsAnswer::Kind::given && !waiting.empty();
    if (given) {
        os_actions::printing::set_server_credentials(waiting.front().server, answer.user, answer.password);
    }
    explicit_bzero(answer.password.data(), answer.password.size());
    for (auto& op : waiting) {
        if (!given || !op.retry()) {
            apply(state, OperationFinished{std::move(op.failure)});
        }
    }
}

}  // namespace presswick::surface
