// The controls of a shown tree as platform resources, and invocations routed to them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "kora_actions/resource.h"
#include "kora_ui/widget.h"

namespace kora_ui {

inline constexpr std::string_view kControlInvokeOperation = "kora.ui.control.invoke";
inline constexpr std::string_view kSegmentedSelectOperation = "kora.ui.segmented.select";

// Every control resource in the tree (bound buttons, segmented controls), in tree order.
[[nodiscard]] std::vector<kora_actions::Resource> control_resources(const Widget& root);

// Handles "kora.ui.control.invoke" (argument: the control id as a JSON string; presses the first
// button with that id) and "kora.ui.segmented.select" (argument: {"control": id, "index": n}).
// Anything else is not handled.
kora_actions::Outcome invoke_control(Widget& root, std::uint8_t execution_kind, std::string_view operation_id,
                                     std::string_view arguments);

}  // namespace kora_ui
