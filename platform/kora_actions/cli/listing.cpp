#include "listing.h"

namespace kora_actions::cli {

namespace {

using nlohmann::json;

std::string text_of(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

const json& list_of(const json& object, const char* key) {
    static const json empty = json::array();
    const auto it = object.find(key);
    return it != object.end() && it->is_array() ? *it : empty;
}

std::optional<std::string> index_param(const json& action) {
    for (const auto& param : list_of(action, "params")) {
        if (text_of(param, "type") == "integer" && text_of(param, "name") == "index") {
            return "index";
        }
    }
    return std::nullopt;
}

std::string kind_label(const json& action) {
    const auto it = action.find("execution_kind");
    const int kind = it != action.end() && it->is_number_integer() ? it->get<int>() : -1;
    std::string label = kind == 1 ? "task" : kind == 2 ? "view" : "kind " + std::to_string(kind);
    if (index_param(action)) {
        label += ", --index N";
    }
    return label;
}

void format_resource(const json& resource, int depth, std::string& out) {
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    out += indent + text_of(resource, "id") + "  \"" + text_of(resource, "title") + "\"  [" +
           text_of(resource, "kind") + "]\n";
    for (const auto& action : list_of(resource, "actions")) {
        out += indent + "  - " + text_of(action, "id") + ": " + text_of(action, "title") + " (" +
               kind_label(action) + ")\n";
    }
    for (const auto& child : list_of(resource, "children")) {
        format_resource(child, depth + 1, out);
    }
}

const json* find_resource(const json& resources, std::string_view id) {
    for (const auto& resource : resources) {
        if (text_of(resource, "id") == id) {
            return &resource;
        }
        if (const auto* found = find_resource(list_of(resource, "children"), id)) {
            return found;
        }
    }
    return nullptr;
}

std::unexpected<PlanError> refuse(PlanError::Kind kind, std::string message) {
    return std::unexpected(PlanError{kind, std::move(message)});
}

}  // namespace

std::string format_listing(const json& listing) {
    std::string out;
    bool controls_started = false;
    if (!listing.is_array()) {
        return out;
    }
    for (const auto& resource : listing) {
        if (!controls_started && text_of(resource, "kind").starts_with("kora.control")) {
            out += "\ncontrols shown now:\n";
            controls_started = true;
        }
        format_resource(resource, 0, out);
    }
    return out;
}

std::expected<Invocation, PlanError> plan_invocation(const json& listing, std::string_view resource_id,
                                                     std::string_view action_id,
                                                     std::optional<std::int64_t> index) {
    const auto* resource = listing.is_array() ? find_resource(listing, resource_id) : nullptr;
    if (!resource) {
        return refuse(PlanError::Kind::not_offered,
                      "no resource " + std::string(resource_id) + " is offered");
    }
    const json* action = nullptr;
    for (const auto& candidate : list_of(*resource, "actions")) {
        if (text_of(candidate, "id") == action_id) {
            action = &candidate;
            break;
        }
    }
    if (!action) {
        return refuse(PlanError::Kind::not_offered,
                      std::string(resource_id) + " has no action " + std::string(action_id));
    }
    auto payload = action->value("payload", json());
    if (const auto param = index_param(*action)) {
        if (!index) {
            return refuse(PlanError::Kind::usage, std::string(action_id) + " needs --index N");
        }
        if (!payload.is_object()) {
            payload = json::object();
        }
        payload[*param] = *index;
    } else if (index) {
        return refuse(PlanError::Kind::usage, std::string(action_id) + " takes no --index");
    }
    const auto kind = action->value("execution_kind", 0);
    return Invocation{static_cast<std::uint8_t>(kind), text_of(*action, "operation"),
                      payload.dump(-1, ' ', false, json::error_handler_t::replace)};
}

}  // namespace kora_actions::cli
