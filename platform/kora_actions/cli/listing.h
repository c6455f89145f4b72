// What presswick-actions does with a resource listing (the JSON array ListResources answers): print it
// for people, and turn "invoke RESOURCE ACTION" into the invocation the action declares.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kora_actions::cli {

// Reads the text ListResources answers: a JSON array of resources, each with a text "id", optional text
// "title" and "kind", and lists "actions" and "children"; each action with a text "id" and "operation" and
// an "execution_kind" from 0 to 255. The error names the first thing out of shape.
[[nodiscard]] std::expected<nlohmann::json, std::string> read_listing(std::string_view text);

// One resource a line ("id  title  [kind]"), its actions indented beneath it, children further in.
[[nodiscard]] std::string format_listing(const nlohmann::json& listing);

struct Invocation {
    std::uint8_t execution_kind = 0;
    std::string operation_id;
    std::string argument_json;
    bool operator==(const Invocation&) const = default;
};

// Why an action could not be invoked: not offered (exit 2), or a command line that does not fit it.
struct PlanError {
    enum class Kind : std::uint8_t { not_offered, usage };
    Kind kind;
    std::string message;
};

// Finds the resource (at any depth) and its action; the argument is the declared payload, with "index"
// filled in for an action that takes an integer index (which must then be given, and only then).
[[nodiscard]] std::expected<Invocation, PlanError> plan_invocation(const nlohmann::json& listing,
                                                                   std::string_view resource_id,
                                                                   std::string_view action_id,
                                                                   std::optional<std::int64_t> index);

}  // namespace kora_actions::cli
