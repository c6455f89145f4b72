// Composing the page that is showing: one place that knows which builder makes each page and what it
// needs, so any change of data can show the same page again.
#include <type_traits>

#include "surface/execute_internal.h"
#include "views/views.h"

namespace presswick::surface {

namespace {

const os_actions::printing::PrintQueue* find_printer(const DeviceSnapshot& snapshot,
                                                     const std::string& name) {
    if (!snapshot.printers) {
        return nullptr;
    }
    for (const auto& printer : *snapshot.printers) {
        if (printer.name == name) {
            return &printer;
        }
    }
    return nullptr;
}

}  // namespace

kora_ui::WidgetPtr compose(const Presswick& state, const ShownView& view) {
    return std::visit(
        [&state](const auto& page) -> kora_ui::WidgetPtr {
            using Page = std::decay_t<decltype(page)>;
            if constexpr (std::is_same_v<Page, shown::Loading>) {
                return views::build_loading_view();
            } else if constexpr (std::is_same_v<Page, shown::Home>) {
                return state.snapshot ? views::build_dashboard_view(*state.snapshot, state, state.notice)
                                      : views::build_first_run_view();
            } else if constexpr (std::is_same_v<Page, shown::Discovery>) {
                return views::build_discovery_view(page.result, state);
            } else {
                if (!state.snapshot) {
                    return nullptr;
                }
                const auto& snapshot = *state.snapshot;
                if constexpr (std::is_same_v<Page, shown::Queue>) {
                    return views::build_queue_view(snapshot, state, state.selected_job, state.notice);
                } else if constexpr (std::is_same_v<Page, shown::Device>) {
                    const auto* printer = find_printer(snapshot, page.printer);
                    return printer ? views::build_device_view(*printer, state) : nullptr;
                } else if constexpr (std::is_same_v<Page, shown::History>) {
                    return views::build_history_view(snapshot, state);
                } else if constexpr (std::is_same_v<Page, shown::Diagnostics>) {
                    return views::build_diagnostics_view(snapshot, state);
                } else if constexpr (std::is_same_v<Page, shown::PrintDialog>) {
                    if (!state.print_document) {
                        return nullptr;
                    }
                    return views::build_print_view(snapshot, *state.print_document, state.preview,
                                                   state.print_printer, state);
                } else {
                    static_assert(std::is_same_v<Page, shown::Scan>);
                    return views::build_scan_view(snapshot, state);
                }
            }
        },
        view);
}

bool show(Presswick& state, ShownView view) {
    auto tree = compose(state, view);
    if (!tree) {
        return false;
    }
    const bool print_dialog = std::holds_alternative<shown::PrintDialog>(view);
    state.install(std::move(tree), std::move(view));
    if (print_dialog) {
        state.print_cells_seen = print_cells_version(state);  // the choices this dialog shows
    }
    return true;
}

void recompose(Presswick& state) {
    if (!show(state, ShownView(state.shown_view))) {
        (void)show(state, shown::Home{});
    }
}

bool refresh_keeps_page(const Presswick& state) {
    return std::holds_alternative<shown::Scan>(state.shown_view) ||
           (std::holds_alternative<shown::PrintDialog>(state.shown_view) && state.print_document);
}

void install_home(Presswick& state) {
    (void)show(state, shown::Home{});
}

void install_scan_view(Presswick& state) {
    (void)show(state, shown::Scan{});
}

void install_print_dialog(Presswick& state) {
    (void)show(state, shown::PrintDialog{});
}

}  // namespace presswick::surface
