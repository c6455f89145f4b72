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
inline constexpr std::string_view kTextSetOperation = "kora.ui.text.set";

// Every control resource in the tree (bound buttons, segmented controls, text inputs), in tree order.
[[nodiscard]] std::vector<kora_actions::Resource> control_resources(const Widget& root);

// Handles "kora.ui.control.invoke" (argument: the control id as a JSON string; presses the first
// button with that id), "kora.ui.segmented.select" (argument: {"control": id, "index": n}) and
// "kora.ui.text.set" (argument: {"control": id, "text": text}, text_input.h).
// Anything else is not handled.
kora_actions::Outcome invoke_control(Widget& root, std::uint8_t execution_kind, std::string_view operation_id,
                                     std::string_view arguments);

}  // namespace kora_ui
