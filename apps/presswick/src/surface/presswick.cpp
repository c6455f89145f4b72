#include "surface/presswick.h"
#include "kora_ui/translate.h"

#include <utility>

#include "actions.h"
#include "memory.h"
#include "surface/execute_internal.h"
#include "views/views.h"

namespace presswick::surface {

Presswick::Presswick(kora_ui::WidgetPtr content, ShownView what)
    : Presswick(kora_ui::channel<Operation>(), std::move(content), std::move(what)) {}

Presswick::Presswick(std::pair<kora_ui::Sender<Operation>, kora_ui::Receiver<Operation>> channel,
                     kora_ui::WidgetPtr view, ShownView what)
    : operations_tx(std::move(channel.first)),
      operations_rx(std::move(channel.second)),
      content(std::move(view)),
      shown_view(std::move(what)) {}

std::unique_ptr<Presswick> Presswick::new_default_root() {
    // The documented order: the operation channel, the loading view, the first refresh, the local states.
    auto channel = kora_ui::channel<Operation>();
    auto loading = views::build_loading_view();
    auto refresh = start_refresh();
    std::unique_ptr<Presswick> root(new Presswick(std::move(channel), std::move(loading), shown::Loading{}));
    root->refresh_rx = std::move(refresh);
    auto [changes_tx, changes_rx] = kora_ui::channel<os_actions::printing::Changes>();
    root->watch = start_watch(std::move(changes_tx));
    if (root->watch) {
        root->changes_rx = std::move(changes_rx);
        root->notice_memory.own_user = this_user();
        root->chosen_rx = kora_ui::notifications::listen_for_chosen();
    }
    return root;
}

bool Presswick::update(kora_ui::UpdateContext& context) {
    if (std::exchange(return_memory, false)) {
        return_freed_memory();
    }
    // A choice made in the print dialog (or by another program) may change what it shows.
    if (!collect_one_result(*this) && !follow_print_cells(*this)) {
        return content->update(context);
    }
    (void)content->update(context);
    return true;
}

bool Presswick::needs_idle_sync() const {
    return refresh_rx.has_value() || update_rx.has_value() || document_pick.has_value() ||
           save_pick.has_value() || credentials_ask.has_value();
}

std::vector<kora_actions::Resource> Presswick::resources() const {
    return {actions::presswick_resource(snapshot)};
}

kora_actions::Outcome Presswick::invoke_resource_operation_v2(std::uint8_t execution_kind,
                                                              std::string_view operation_id,
                                                              std::string_view arguments) {
    auto parsed = actions::parse_invocation(execution_kind, operation_id, arguments);
    if (!parsed) {
        return kora_actions::Outcome::not_handled();
    }
    if (!*parsed) {
        return kora_actions::Outcome::failed(std::move(parsed->error()));
    }
    if (const auto* chosen = std::get_if<ChooseScanner>(&**parsed);
        chosen && !actions::listed_scanner(snapshot, chosen->id)) {
        return kora_actions::Outcome::failed(std::string(actions::kNoLongerAvailable));
    }
    execute(*this, std::move(**parsed));
    return kora_actions::Outcome::handled();
}

std::optional<kora_ui::ControlInvocation> Presswick::take_control_invocation() {
    return content->take_control_invocation();
}

std::optional<kora_ui::CloseQuestion> Presswick::close_question() const {
    if (!has_unsaved_pages()) {
        return std::nullopt;
    }
    return kora_ui::CloseQuestion{kora_ui::tr("Save the scanned document before closing?"),
                                  kora_ui::tr("Close without saving"), kora_ui::tr("Cancel"),
                                  kora_ui::tr("Save…")};
}

void Presswick::answer_close_question(kora_ui::CloseAnswer answer) {
    if (answer == kora_ui::CloseAnswer::save) {
        execute(*this, SaveBeforeClosing{});
    }
}

}  // namespace presswick::surface
