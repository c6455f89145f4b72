// The platform action model: resources with named actions, their arguments and invocation outcomes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace kora_actions {

enum class ParamType : std::uint8_t { integer, string, boolean };

struct ActionParam {
    std::string name;
    std::string description;
    ParamType type = ParamType::string;
    bool operator==(const ActionParam&) const = default;
};

// Execution kinds used by applications: 1 runs a task, 2 opens a view.
inline constexpr std::uint8_t kExecuteTask = 1;
inline constexpr std::uint8_t kOpenView = 2;

struct ActionSpec {
    std::string id;
    std::string title;
    std::string description;
    std::uint8_t execution_kind = kExecuteTask;
    std::string operation_id;
    nlohmann::json payload;  // what the invocation carries as its argument text (JSON)
    std::vector<ActionParam> params;
    // Settings the framework derives from the execution kind (see derive_from_execution_kind).
    bool background = false;
    std::uint8_t priority = 0;
    std::uint8_t confirmation = 0;
    nlohmann::json input = nlohmann::json::object();  // input description derived from params

    // Fills background/priority/confirmation from the execution kind: a task (1) runs in the background
    // with priority 3 and confirmation level 2; a view (2) in the foreground with 1 and 0.
    void derive_from_execution_kind();
    // Builds `input` from `params` as a JSON-schema-like object.
    void derive_input();
    bool operator==(const ActionSpec&) const = default;
};

struct Resource {
    std::string id;
    std::string kind;
    std::string title;
    std::vector<Resource> children;
    std::vector<ActionSpec> actions;
    bool operator==(const Resource&) const = default;
};

struct Outcome {
    enum class Kind : std::uint8_t { not_handled, handled, failed };
    Kind kind = Kind::not_handled;
    std::string message;  // with failed

    static Outcome not_handled() { return {}; }
    static Outcome handled() { return {Kind::handled, {}}; }
    static Outcome failed(std::string message) { return {Kind::failed, std::move(message)}; }
    bool operator==(const Outcome&) const = default;
};

// The arguments of an invoked action, as the JSON object the caller sent.
class ActionArgs {
  public:
    ActionArgs() = default;
    explicit ActionArgs(nlohmann::json values) : m_values(std::move(values)) {}
    [[nodiscard]] std::optional<std::int64_t> integer(const std::string& name) const;
    [[nodiscard]] std::optional<std::string> string(const std::string& name) const;
    [[nodiscard]] const nlohmann::json& values() const { return m_values; }

  private:
    nlohmann::json m_values = nlohmann::json::object();
};

// How a control is bound to one of its resource's actions.
struct ActionBinding {
    std::string action_id;
    bool takes_index = false;
    static ActionBinding unit_for(std::string action_id) { return {std::move(action_id), false}; }
    static ActionBinding index_for(std::string action_id) { return {std::move(action_id), true}; }
    bool operator==(const ActionBinding&) const = default;
};

// Checks that an action encodes to the expected operation type; false when it does not.
[[nodiscard]] bool enforce_operation_type(const ActionSpec& action, std::string_view operation_type);

// How much of a caller's text (an operation id, an action or control name, a parser's message) a reply
// echoes back: the first 200 bytes, cut where a UTF-8 character begins, and "…" when it was longer.
inline constexpr std::size_t kMaxEchoedBytes = 200;
[[nodiscard]] std::string echoed(std::string_view text);

[[nodiscard]] nlohmann::json to_json(const ActionSpec& action);
[[nodiscard]] nlohmann::json to_json(const Resource& resource);

}  // namespace kora_actions
