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

bool is_text_or_absent(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() || it->is_string();
}

bool is_list_or_absent(const json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() || it->is_array();
}

std::optional<std::string> action_shape_error(const json& action, std::size_t position,
                                              const std::string& owner) {
    const auto where = "action " + std::to_string(position) + " of " + owner;
    if (!action.is_object()) {
        return where + " is not an object";
    }
    const auto id = action.find("id");
    if (id == action.end() || !id->is_string()) {
        return where + " has no text \"id\"";
    }
    const auto named = "action " + id->get<std::string>() + " of " + owner;
    const auto operation = action.find("operation");
    if (operation == action.end() || !operation->is_string()) {
        return named + " has no text \"operation\"";
    }
    const auto kind = action.find("execution_kind");
    if (kind == action.end() || !kind->is_number_unsigned() || kind->get<std::uint64_t>() > 255) {
        return named + " has no \"execution_kind\" from 0 to 255";
    }
    if (!is_text_or_absent(action, "title") || !is_list_or_absent(action, "params")) {
        return named + " has a \"title\" that is not text or \"params\" that are not a list";
    }
    for (const auto& param : list_of(action, "params")) {
        if (!param.is_object()) {
            return named + " has a parameter that is not an object";
        }
    }
    return std::nullopt;
}

std::optional<std::string> resources_shape_error(const json& resources, const std::string& where) {
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const auto& resource = resources[i];
        const auto position = "resource " + std::to_string(i + 1) + " of " + where;
        if (!resource.is_object()) {
            return position + " is not an object";
        }
        const auto id = resource.find("id");
        if (id == resource.end() || !id->is_string()) {
            return position + " has no text \"id\"";
        }
        const auto name = "resource " + id->get<std::string>();
        if (!is_text_or_absent(resource, "title") || !is_text_or_absent(resource, "kind")) {
            return name + " has a \"title\" or \"kind\" that is not text";
        }
        if (!is_list_or_absent(resource, "actions") || !is_list_or_absent(resource, "children")) {
            return name + " has \"actions\" or \"children\" that are not a list";
        }
        const auto& actions = list_of(resource, "actions");
        for (std::size_t a = 0; a < actions.size(); ++a) {
            if (auto error = action_shape_error(actions[a], a + 1, name)) {
                return error;
            }
        }
        if (auto error = resources_shape_error(list_of(resource, "children"), name)) {
            return error;
        }
    }
    return std::nullopt;
}

std::unexpected<PlanError> refuse(PlanError::Kind kind, std::string message) {
    return std::unexpected(PlanError{kind, std::move(message)});
}

}  // namespace

std::expected<json, std::string> read_listing(std::string_view text) {
    auto listing = json::parse(text, nullptr, false);
    if (listing.is_discarded()) {
        return std::unexpected("the listing is not JSON");
    }
    if (!listing.is_array()) {
        return std::unexpected("the listing is not a JSON array");
    }
    if (auto error = resources_shape_error(listing, "the listing")) {
        return std::unexpected(*error);
    }
    return listing;
}

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
    const auto declared = action->find("payload");
    auto payload = declared != action->end() ? *declared : json();
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
    const auto kind = action->find("execution_kind");
    const bool kind_fits =
        kind != action->end() && kind->is_number_unsigned() && kind->get<std::uint64_t>() <= 255;
    return Invocation{static_cast<std::uint8_t>(kind_fits ? kind->get<std::uint64_t>() : 0),
                      text_of(*action, "operation"),
                      payload.dump(-1, ' ', false, json::error_handler_t::replace)};
}

}  // namespace kora_actions::cli
