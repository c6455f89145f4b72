// Navigation and refresh: Refresh, the view operations, discovery, and applying a snapshot.
#include "surface/execute_internal.h"
#include "workers.h"

namespace presswick::surface {

// A refresh over the print dialog or a scan page keeps that page and its choices; elsewhere the loading
// view stands in until the snapshot arrives.
void apply(Presswick& state, Refresh) {
    state.notice.reset();
    if (refresh_keeps_page(state)) {
        recompose(state);
    } else {
        (void)show(state, shown::Loading{});
    }
    begin_refresh(state);
}

void apply(Presswick& state, ShowQueue) {
    (void)show(state, shown::Queue{});
}

void apply(Presswick& state, ShowHistory) {
    (void)show(state, shown::History{});
}

void apply(Presswick& state, ShowDiagnostics) {
    (void)show(state, shown::Diagnostics{});
}

void apply(Presswick& state, ShowDevice op) {
    (void)show(state, shown::Device{std::move(op.name)});
}

void apply(Presswick& state, SelectJob op) {
    state.selected_job = std::move(op.id);
    (void)show(state, shown::Queue{});
}

void apply(Presswick& state, FindPrinters) {
    (void)show(state, shown::Discovery{});
    (void)workers::start_discovery(state.operations_tx);
}

void apply(Presswick& state, PrintersFound op) {
    (void)show(state, shown::Discovery{std::move(op.result)});
}

// The new snapshot is shown on the page the user is working in; any other page returns home.
void apply_snapshot(Presswick& state, DeviceSnapshot snapshot) {
    state.refresh_rx.reset();
    state.snapshot = std::move(snapshot);
    if (refresh_keeps_page(state)) {
        recompose(state);
    } else {
        install_home(state);
    }
    start_waiting_update(state);  // what the server reported while this refresh ran
}

}  // namespace presswick::surface
