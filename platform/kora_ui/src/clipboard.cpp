#include "kora_ui/clipboard.h"

#include "asked_on_thread.h"

namespace kora_ui::text_selection {

namespace {
kora_ui::detail::BackendSlot<std::function<void(const std::string&)>> g_clipboard_backend;
}  // namespace

void clipboard_copy(const std::string& text) {
    if (const auto backend = g_clipboard_backend.get()) {
        backend(text);
    }
}

std::function<void(const std::string&)> set_clipboard_backend(
    std::function<void(const std::string&)> backend) {
    return g_clipboard_backend.exchange(std::move(backend));
}

}  // namespace kora_ui::text_selection
