// Live changes: the server's reports become quiet updates, one at a time, that replace the snapshot
// and show the same page again over it (the toolkit keeps focus, scroll positions and an open
// drop-down of a page shown again).
#include "kora_ui/notifications.h"
#include "surface/execute_internal.h"

namespace presswick::surface {

void start_waiting_update(Presswick& state) {
    if (!state.changes_waiting || !state.snapshot || state.refresh_rx || state.update_rx) {
        return;
    }
    auto changes = std::move(*state.changes_waiting);
    state.changes_waiting.reset();
    state.update_rx = start_update(*state.snapshot, std::move(changes));
}

void apply_changes(Presswick& state, os_actions::printing::Changes changes) {
    if (changes.empty()) {
        return;
    }
    // A burst becomes one update now and at most one after it: later reports join the waiting one.
    if (state.changes_waiting) {
        state.changes_waiting->merge(changes);
    } else {
        state.changes_waiting = std::move(changes);
    }
    start_waiting_update(state);
}

void apply_update(Presswick& state, DeviceSnapshot snapshot) {
    state.update_rx.reset();
    if (state.snapshot) {
        // The memory learns whether or not they are shown: a crossing seen in the window is told there.
        const auto notices =
            desktop_notices(*state.snapshot, snapshot, state.notice_memory, std::chrono::steady_clock::now());
        if (!notices.empty() && !kora_ui::notifications::window_active()) {
            for (const auto& notice : notices) {
                (void)kora_ui::notifications::show(notice);
            }
        }
    }
    state.snapshot = std::move(snapshot);
    // The loading view waits for a full refresh, which starts no update while it runs.
    if (!std::holds_alternative<shown::Loading>(state.shown_view)) {
        recompose(state);
    }
    start_waiting_update(state);
}

void apply_chosen(Presswick& state, const std::string& target) {
    if (target.starts_with(kDeviceTarget)) {
        apply(state, ShowDevice{target.substr(kDeviceTarget.size())});
    } else if (target == kQueueTarget) {
        apply(state, ShowQueue{});
    }
}

}  // namespace presswick::surface
