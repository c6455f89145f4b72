// Printer and job operations: compose the notice pair, start the worker; OperationFinished; asking for
// the credentials a print server wants.
#include <string.h>  // explicit_bzero

#include <utility>

#include "display.h"
#include "surface/execute_internal.h"
#include "views/common.h"
#include "workers.h"

namespace presswick::surface {

using kora_ui::tr;
using views::fill;

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
    workers::NoticePair notices{good(tr("Printer added"), fill(tr("{} is ready for your apps."), name)),
                                bad(tr("Could not add printer"),
                                    fill(tr("Check that {} is awake and connected, then try again."), name))};
    (void)workers::start_add_printer(state.operations_tx, std::move(op.printer), std::move(notices));
}

void apply(Presswick& state, SetPreferredPrinter op) {
    const auto name = display_name(op.name);
    workers::NoticePair notices{
        good(tr("Preferred printer changed"),
             fill(tr("New documents will use {} unless you choose another printer."), name)),
        bad(tr("Could not change the preferred printer"),
            fill(tr("{} is still available; try again in a moment."), name))};
    (void)workers::start_default_printer(state.operations_tx, std::move(op.name), std::move(notices));
}

void apply(Presswick& state, SetPrinterEnabled op) {
    const std::string unchanged = tr("Nothing changed. Check the printer connection and try again.");
    workers::NoticePair notices =
        op.enabled
            ? workers::NoticePair{good(tr("Printer resumed"), tr("Waiting documents can print now.")),
                                  bad(tr("Could not resume printer"), unchanged)}
            : workers::NoticePair{good(tr("Printer paused"), tr("Documents will wait until you resume it.")),
                                  bad(tr("Could not pause printer"), unchanged)};
    (void)workers::start_toggle_printer(state.operations_tx, std::move(op.name), op.enabled,
                                        std::move(notices));
}

void apply(Presswick& state, CancelJob op) {
    state.selected_job.reset();
    workers::NoticePair notices{good(tr("Document canceled"), tr("It was removed from the printer.")),
                                bad(tr("Could not cancel document"),
                                    tr("The document may still print. Check the queue and try again."))};
    (void)workers::start_cancel_job(state.operations_tx, std::move(op.id), std::move(notices));
}

void apply(Presswick& state, RetryJob op) {
    workers::NoticePair notices{good(tr("Document sent again"), tr("It is back in the print queue.")),
                                bad(tr("Could not try again"), tr("Check the printer, then try again."))};
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
        kora_ui::CredentialsRequest(
            fill(tr("Sign in to {}"), op.server),
            fill(tr("The print server {} asks for a user name and password."), op.server), tr("Sign in"))
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
