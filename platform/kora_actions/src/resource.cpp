#include "kora_actions/resource.h"

#include "base/utf8.h"

namespace kora_actions {

std::string echoed(std::string_view text) {
    if (text.size() <= kMaxEchoedBytes) {
        return std::string(text);
    }
    return std::string(text.substr(0, base::utf8::prefix_within(text, kMaxEchoedBytes))) + "…";
}

void ActionSpec::derive_from_execution_kind() {
    const bool task = execution_kind == kExecuteTask;
    background = task;
    priority = task ? 3 : 1;
    confirmation = task ? 2 : 0;
}

void ActionSpec::derive_input() {
    nlohmann::json properties = nlohmann::json::object();
    for (const auto& param : params) {
        const char* type = param.type == ParamType::integer   ? "integer"
                           : param.type == ParamType::boolean ? "boolean"
                                                              : "string";
        properties[param.name] = {{"type", type}, {"description", param.description}};
    }
    input = {{"type", "object"}, {"properties", properties}};
}

std::optional<std::int64_t> ActionArgs::integer(const std::string& name) const {
    if (!m_values.is_object()) {
        return std::nullopt;
    }
    const auto it = m_values.find(name);
    if (it == m_values.end() || !it->is_number_integer()) {
        return std::nullopt;
    }
    return it->get<std::int64_t>();
}

std::optional<std::string> ActionArgs::string(const std::string& name) const {
    if (!m_values.is_object()) {
        return std::nullopt;
    }
    const auto it = m_values.find(name);
    if (it == m_values.end() || !it->is_string()) {
        return std::nullopt;
    }
    return it->get<std::string>();
}

bool enforce_operation_type(const ActionSpec& action, std::string_view operation_type) {
    return action.operation_id == operation_type;
}

nlohmann::json to_json(const ActionSpec& action) {
    nlohmann::json params = nlohmann::json::array();
    for (const auto& param : action.params) {
        params.push_back({{"name", param.name},
                          {"description", param.description},
                          {"type", param.type == ParamType::integer   ? "integer"
                                   : param.type == ParamType::boolean ? "boolean"
                                                                      : "string"}});
    }
    return {{"id", action.id},
            {"title", action.title},
            {"description", action.description},
            {"execution_kind", action.execution_kind},
            {"operation", action.operation_id},
            {"payload", action.payload},
            {"params", params},
            {"background", action.background},
            {"priority", action.priority},
            {"confirmation", action.confirmation},
            {"input", action.input}};
}

nlohmann::json to_json(const Resource& resource) {
    nlohmann::json actions = nlohmann::json::array();
    for (const auto& action : resource.actions) {
        actions.push_back(to_json(action));
    }
    nlohmann::json children = nlohmann::json::array();
    for (const auto& child : resource.children) {
        children.push_back(to_json(child));
    }
    return {{"id", resource.id},
            {"kind", resource.kind},
            {"title", resource.title},
            {"actions", actions},
            {"children", children}};
}

}  // namespace kora_actions
