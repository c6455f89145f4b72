#include "kora_ui/controls.h"

#include <nlohmann/json.hpp>

#include "kora_ui/text_input.h"
#include "kora_ui/widgets.h"

namespace kora_ui {

namespace {
template <class Visit>
bool walk(const Widget& node, const Visit& visit) {
    if (visit(node)) {
        return true;
    }
    for (const auto& child : node.children()) {
        if (walk(*child, visit)) {
            return true;
        }
    }
    return false;
}
}  // namespace

std::vector<kora_actions::Resource> control_resources(const Widget& root) {
    std::vector<kora_actions::Resource> found;
    walk(root, [&found](const Widget& node) {
        if (dynamic_cast<const Button*>(&node) || dynamic_cast<const ToggleGroup*>(&node) ||
            dynamic_cast<const TextInput*>(&node)) {
            for (auto& resource : node.resources()) {
                found.push_back(std::move(resource));
            }
        }
        return false;
    });
    return found;
}

namespace {
kora_actions::Outcome set_text(const Widget& root, const nlohmann::json& parsed) {
    if (!parsed.is_object() || !parsed.contains("control") || !parsed["control"].is_string() ||
        !parsed.contains("text") || !parsed["text"].is_string()) {
        return kora_actions::Outcome::failed(
            "invalid text entry: expected {\"control\": id, \"text\": text}");
    }
    const auto id = parsed["control"].get<std::string>();
    const TextInput* target = nullptr;
    walk(root, [&](const Widget& node) {
        const auto* input = dynamic_cast<const TextInput*>(&node);
        if (input && input->control_id() == id) {
            target = input;
            return true;
        }
        return false;
    });
    if (!target) {
        return kora_actions::Outcome::failed("no control " + id + " is shown");
    }
    target->enter(parsed["text"].get<std::string>());
    return kora_actions::Outcome::handled();
}
}  // namespace

kora_actions::Outcome invoke_control(Widget& root, std::uint8_t, std::string_view operation_id,
                                     std::string_view arguments) {
    const bool invoke = operation_id == kControlInvokeOperation;
    const bool select = operation_id == kSegmentedSelectOperation;
    const bool text = operation_id == kTextSetOperation;
    if (!invoke && !select && !text) {
        return kora_actions::Outcome::not_handled();
    }
    const auto parsed = nlohmann::json::parse(arguments, nullptr, false);
    if (parsed.is_discarded()) {
        return kora_actions::Outcome::failed("invalid control invocation: not JSON");
    }
    if (text) {
        return set_text(root, parsed);
    }
    if (invoke) {
        if (!parsed.is_string()) {
            return kora_actions::Outcome::failed(
                "invalid control invocation: expected the control id as a string");
        }
        const auto id = parsed.get<std::string>();
        Button* target = nullptr;
        walk(root, [&](const Widget& node) {
            auto* button = dynamic_cast<Button*>(const_cast<Widget*>(&node));
            if (button && button->control_id() == id && button->has_action()) {
                target = button;
                return true;
            }
            return false;
        });
        if (!target) {
            return kora_actions::Outcome::failed("no control " + kora_actions::echoed(id) + " is shown");
        }
        target->press();
        return kora_actions::Outcome::handled();
    }
    if (!parsed.is_object() || !parsed.contains("control") || !parsed["control"].is_string()) {
        return kora_actions::Outcome::failed(
            "invalid segment selection: expected {\"control\": id, \"index\": n}");
    }
    const auto id = parsed["control"].get<std::string>();
    const auto index = parsed.value("index", nlohmann::json());
    if (!index.is_number_unsigned()) {
        return kora_actions::Outcome::failed(
            "invalid segment selection: index must be a whole number from 0");
    }
    const ToggleGroup* target = nullptr;
    walk(root, [&](const Widget& node) {
        const auto* group = dynamic_cast<const ToggleGroup*>(&node);
        if (group && group->control_id() == id) {
            target = group;
            return true;
        }
        return false;
    });
    if (!target) {
        return kora_actions::Outcome::failed("no control " + kora_actions::echoed(id) + " is shown");
    }
    if (index.get<std::size_t>() < target->options().size() && !target->enabled(index.get<std::size_t>())) {
        return kora_actions::Outcome::failed("segment is not available");
    }
    if (!target->select(index.get<std::size_t>())) {
        return kora_actions::Outcome::failed("segment index out of range");
    }
    return kora_actions::Outcome::handled();
}

}  // namespace kora_ui
