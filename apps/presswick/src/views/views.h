// The view builders: pure functions from the state to a new widget tree.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kora_ui/widget.h"
#include "notice.h"
#include "preview.h"
#include "printing/printing.h"
#include "snapshot.h"

namespace presswick::surface {
class Presswick;
}

namespace presswick::views {

using surface::Presswick;
using DiscoveryResult = std::expected<std::vector<os_actions::printing::DriverlessPrinter>, std::string>;

[[nodiscard]] kora_ui::WidgetPtr build_loading_view();
[[nodiscard]] kora_ui::WidgetPtr build_first_run_view();
[[nodiscard]] kora_ui::WidgetPtr build_dashboard_view(const DeviceSnapshot& snapshot, const Presswick& state,
                                                      const std::optional<Notice>& notice);
[[nodiscard]] kora_ui::WidgetPtr build_queue_view(const DeviceSnapshot& snapshot, const Presswick& state,
                                                  const std::optional<std::string>& selected_job,
                                                  const std::optional<Notice>& notice);
[[nodiscard]] kora_ui::WidgetPtr build_device_view(const os_actions::printing::PrintQueue& printer,
                                                   const Presswick& state);
[[nodiscard]] kora_ui::WidgetPtr build_history_view(const DeviceSnapshot& snapshot, const Presswick& state);
[[nodiscard]] kora_ui::WidgetPtr build_diagnostics_view(const DeviceSnapshot& snapshot,
                                                        const Presswick& state);
// `result` is absent while the search runs.
[[nodiscard]] kora_ui::WidgetPtr build_discovery_view(const std::optional<DiscoveryResult>& result,
                                                      const Presswick& state);
// Reads the chosen printer, the copies and two-sided cells from `state`.
[[nodiscard]] kora_ui::WidgetPtr build_print_view(const DeviceSnapshot& snapshot,
                                                  const std::filesystem::path& document,
                                                  const PrintPreview& preview,
                                                  const std::optional<std::string>& printer,
                                                  const Presswick& state);
// The setup page without a current page, the result page with one; everything else from `state`.
[[nodiscard]] kora_ui::WidgetPtr build_scan_view(const DeviceSnapshot& snapshot, const Presswick& state);

}  // namespace presswick::views
