// Walking a tree the way tests and tools look at a screen: find controls, read texts, press buttons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kora_ui/widget.h"
#include "kora_ui/widgets.h"

namespace kora_ui::testing {

// Depth-first, in tree order.
[[nodiscard]] std::vector<Widget*> find_by_control_id(const Widget& root, std::string_view control_id);
[[nodiscard]] std::vector<Widget*> find_by_type_name(const Widget& root, std::string_view type_name);

template <class T>
[[nodiscard]] std::vector<T*> find_all(const Widget& root) {
    std::vector<T*> found;
    auto visit = [&found](auto& self, const Widget& node) -> void {
        if (auto* hit = dynamic_cast<T*>(const_cast<Widget*>(&node))) {
            found.push_back(hit);
        }
        for (const auto& child : node.children()) {
            self(self, *child);
        }
    };
    visit(visit, root);
    return found;
}

// Every visible text in tree order: Text texts, button labels, banner texts and messages, card titles.
[[nodiscard]] std::vector<std::string> collect_texts(const Widget& root);
// Accessible labels of progress bars, images, page previews, inputs and toggles.
[[nodiscard]] std::vector<std::string> collect_accessible_labels(const Widget& root);
[[nodiscard]] bool contains_text(const Widget& root, std::string_view text);
// The buttons with this label, in tree order.
[[nodiscard]] std::vector<Button*> find_buttons_by_label(const Widget& root, std::string_view label);
// Presses the first button with this control id; false when there is none.
bool press(const Widget& root, std::string_view control_id);

}  // namespace kora_ui::testing
