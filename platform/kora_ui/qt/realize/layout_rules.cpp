#include "qt/realize/layout_rules.h"

#include <algorithm>
#include <limits>

#include "kora_ui/widgets.h"
#include "qt/realize/kind.h"

namespace kora_ui::qt {

bool holds_scrollable(const Widget& node, int depth) {
    if (kind_of(node).scrollable) {
        return true;
    }
    if (depth == 0) {
        return false;
    }
    return std::ranges::any_of(
        node.children(), [depth](const WidgetPtr& child) { return holds_scrollable(*child, depth - 1); });
}

bool fills(const Widget& node) {
    const auto& kind = kind_of(node);
    return kind.fills && kind.fills(node);
}

bool is_transparent(const Widget& node) {
    return &kind_of(node) == &wrapper_kind() && !node.children().empty();
}

bool any_fills(const Widget& node) {
    return std::ranges::any_of(node.children(), [](const WidgetPtr& child) {
        return fills(*child) || (is_transparent(*child) && any_fills(*child));
    });
}

int stretch_for(const Widget& node) {
    return fills(node) ? kind_of(node).fill_stretch : 0;
}

bool is_panel(const Widget& node) {
    const auto& kind = kind_of(node);
    if (kind.panel) {
        return true;
    }
    const bool wraps = kind.program || kind.shape == Shape::container;
    return wraps && node.children().size() == 1 && is_panel(*node.children().front());
}

bool is_button_row(const Widget& row) {
    const auto children = row.children();
    return children.size() >= 2 && std::ranges::all_of(children, [](const WidgetPtr& child) {
               return kind_of(*child).shape == Shape::button;
           });
}

bool reflows(const Widget& row) {
    if (is_button_row(row)) {
        return true;
    }
    const auto children = row.children();
    const auto panels =
        std::ranges::count_if(children, [](const WidgetPtr& child) { return is_panel(*child); });
    const bool text_block = std::ranges::any_of(
        children, [](const WidgetPtr& child) { return kind_of(*child).shape == Shape::column; });
    const bool control_group = std::ranges::any_of(
        children, [](const WidgetPtr& child) { return kind_of(*child).shape == Shape::row; });
    return panels >= 2 || (text_block && control_group);
}

namespace {
// The widgets in a subtree, counted up to `limit`.
std::size_t subtree_size(const Widget& node, std::size_t limit) {
    std::size_t size = 1;
    for (const auto& child : node.children()) {
        if (size >= limit) {
            break;
        }
        size += subtree_size(*child, limit - size);
    }
    return size;
}
}  // namespace

bool is_bulky(const Widget& node) {
    constexpr std::size_t kBulk = 8;
    return subtree_size(node, kBulk) >= kBulk && !holds_scrollable(node, std::numeric_limits<int>::max());
}

std::string caption_before(std::span<const WidgetPtr> nodes, std::size_t index) {
    while (index > 0) {
        const Widget& before = *nodes[--index];
        const auto& kind = kind_of(before);
        if (kind.text) {
            return static_cast<const Text&>(before).text();
        }
        if (!kind.gap) {
            break;
        }
    }
    return {};
}

std::string signature_of(const Widget& node) {
    Signature signature;
    if (const auto& kind = kind_of(node); kind.sign) {
        kind.sign(node, signature);
    }
    return signature.take();
}

}  // namespace kora_ui::qt
