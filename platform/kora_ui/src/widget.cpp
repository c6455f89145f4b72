#include "kora_ui/widget.h"

#include <atomic>

namespace kora_ui {

std::uint64_t Widget::next_serial() {
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool Widget::update(UpdateContext& context) {
    bool changed = false;
    for (const auto& child : children()) {
        changed = child->update(context) || changed;
    }
    return changed;
}

bool Widget::needs_idle_sync() const {
    for (const auto& child : children()) {
        if (child->needs_idle_sync()) {
            return true;
        }
    }
    return false;
}

kora_actions::Outcome Widget::invoke_resource_operation_v2(std::uint8_t, std::string_view, std::string_view) {
    return kora_actions::Outcome::not_handled();
}

std::optional<ControlInvocation> Widget::take_control_invocation() {
    for (const auto& child : children()) {
        if (auto pending = child->take_control_invocation()) {
            return pending;
        }
    }
    return std::nullopt;
}

}  // namespace kora_ui
