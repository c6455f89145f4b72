#include "kora_ui/testing.h"

#include <algorithm>

#include "kora_ui/text_input.h"

namespace kora_ui::testing {

namespace {
template <class Visit>
void walk(const Widget& node, const Visit& visit) {
    visit(node);
    for (const auto& child : node.children()) {
        walk(*child, visit);
    }
}
}  // namespace

std::vector<Widget*> find_by_control_id(const Widget& root, std::string_view control_id) {
    std::vector<Widget*> found;
    walk(root, [&](const Widget& node) {
        if (node.control_id() == control_id) {
            found.push_back(const_cast<Widget*>(&node));
        }
    });
    return found;
}

std::vector<Widget*> find_by_type_name(const Widget& root, std::string_view type_name) {
    std::vector<Widget*> found;
    walk(root, [&](const Widget& node) {
        if (node.type_name() == type_name) {
            found.push_back(const_cast<Widget*>(&node));
        }
    });
    return found;
}

std::vector<std::string> collect_texts(const Widget& root) {
    std::vector<std::string> texts;
    walk(root, [&](const Widget& node) {
        if (const auto* text = dynamic_cast<const Text*>(&node)) {
            texts.push_back(text->text());
        } else if (const auto* button = dynamic_cast<const Button*>(&node)) {
            texts.push_back(button->label());
        } else if (const auto* banner = dynamic_cast<const Banner*>(&node)) {
            texts.push_back(banner->text());
            if (!banner->message().empty()) {
                texts.push_back(banner->message());
            }
        } else if (const auto* card = dynamic_cast<const CardSurface*>(&node)) {
            texts.push_back(card->title());
        }
    });
    return texts;
}

std::vector<std::string> collect_accessible_labels(const Widget& root) {
    std::vector<std::string> labels;
    walk(root, [&](const Widget& node) {
        if (const auto* bar = dynamic_cast<const ProgressBar*>(&node)) {
            labels.push_back(bar->accessible_label());
        } else if (const auto* image = dynamic_cast<const Image*>(&node)) {
            labels.push_back(image->accessible_label());
        } else if (const auto* preview = dynamic_cast<const PagePreview*>(&node)) {
            labels.push_back(preview->label());
        } else if (const auto* input = dynamic_cast<const NumberInput*>(&node)) {
            labels.push_back(input->accessible_label());
        } else if (const auto* line = dynamic_cast<const TextInput*>(&node)) {
            labels.push_back(line->accessible_label());
        } else if (const auto* toggle = dynamic_cast<const Toggle*>(&node)) {
            labels.push_back(toggle->accessible_label());
        }
    });
    return labels;
}

bool contains_text(const Widget& root, std::string_view text) {
    const auto texts = collect_texts(root);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::vector<Button*> find_buttons_by_label(const Widget& root, std::string_view label) {
    std::vector<Button*> found;
    for (auto* button : find_all<Button>(root)) {
        if (button->label() == label) {
            found.push_back(button);
        }
    }
    return found;
}

bool press(const Widget& root, std::string_view control_id) {
    for (auto* node : find_by_control_id(root, control_id)) {
        if (auto* button = dynamic_cast<Button*>(node)) {
            button->press();
            return true;
        }
    }
    return false;
}

}  // namespace kora_ui::testing
