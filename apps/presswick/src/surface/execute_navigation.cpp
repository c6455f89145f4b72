// Navigation and refresh: Refresh, the view operations, discovery, and applying a snapshot.
#include "surface/execute_internal.h"
#include "views/views.h"
#include "workers.h"

namespace presswick::surface {

void apply(Presswick& state, Refresh) {
    state.notice.reset();
    state.install(views::build_loading_view());
    begin_refresh(state);
}

void apply(Presswick& state, ShowQueue) {
    if (state.snapshot) {
        state.install(views::build_queue_view(*state.snapshot, state, state.selected_job, state.notice));
    }
}

void apply(Presswick& state, ShowHistory) {
    if (state.snapshot) {
        state.install(views::build_history_view(*state.snapshot, state));
    }
}

void apply(Presswick& state, ShowDiagnostics) {
    if (state.snapshot) {
        state.install(views::build_diagnostics_view(*state.snapshot, state));
    }
}

void apply(Presswick& state, ShowDevice op) {
    if (!state.snapshot || !state.snapshot->printers) {
        return;
    }
    for (const auto& printer : *state.snapshot->printers) {
        if (printer.name == op.name) {
            state.install(views::build_device_view(printer, state));
            return;
        }
    }
}

void apply(Presswick& state, SelectJob op) {
    state.selected_job = std::move(op.id);
    if (state.snapshot) {
        state.install(views::build_queue_view(*state.snapshot, state, state.selected_job, state.notice));
    }
}

void apply(Presswick& state, FindPrinters) {
    state.install(views::build_discovery_view(std::nullopt, state));
    (void)workers::start_discovery(state.operations_tx);
}

void apply(Presswick& state, PrintersFound op) {
    state.install(
        views::build_discovery_view(std::optional<views::DiscoveryResult>(std::move(op.result)), state));
}

void apply_snapshot(Presswick& state, DeviceSnapshot snapshot) {
    state.refresh_rx.reset();
    state.snapshot = std::move(snapshot);
    install_home(state);
}

}  // namespace presswick::surface
