// The action contract: the "presswick" resource and its children, and turning an invocation
// of "presswick.operation" into an Operation.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kora_actions/resource.h"
#include "operation.h"
#include "snapshot.h"

namespace presswick::actions {

inline constexpr std::string_view kOperationId = "presswick.operation";

inline constexpr std::string_view kInvalidOperation = "invalid Presswick operation: ";
inline constexpr std::string_view kUnknownOperation = "unknown Presswick operation";
inline constexpr std::string_view kWrongExecutionKind = "Presswick operation has the wrong execution kind";
inline constexpr std::string_view kNoLongerAvailable = "Presswick resource is no longer available";
// Arguments beyond this are refused unread: no real printer name, job or scanner comes near it.
inline constexpr std::size_t kMaxArgumentBytes = 64 * 1024;

// The one resource, built from the snapshot (children only when there is one).
[[nodiscard]] kora_actions::Resource presswick_resource(const std::optional<DeviceSnapshot>& snapshot);
// Lowercase hex of the UTF-8 bytes, two digits a byte.
[[nodiscard]] std::string hex_identifier(std::string_view text);

// Whether `id` is one of the scanners of the current list: another program may only name those, so
// it cannot send the scan helper to a device (or, through a network backend, a host) of its choosing.
[[nodiscard]] bool listed_scanner(const std::optional<DeviceSnapshot>& snapshot, std::string_view id);

// An invocation of ours comes to an operation to execute or a failure message.
using Parsed = std::expected<Operation, std::string>;
// Nothing when the invocation is not ours.
[[nodiscard]] std::optional<Parsed> parse_invocation(std::uint8_t execution_kind,
                                                     std::string_view operation_id,
                                                     std::string_view arguments);

}  // namespace presswick::actions
