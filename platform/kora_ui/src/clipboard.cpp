#include "kora_ui/clipboard.h"

#include <mutex>
#include <utility>

namespace kora_ui::text_selection {

namespace {
std::mutex g_mutex;
std::function<void(const std::string&)> g_backend;
}  // namespace

void clipboard_copy(const std::string& text) {
    std::function<void(const std::string&)> backend;
    {
        std::lock_guard lock(g_mutex);
        backend = g_backend;
    }
    if (backend) {
        backend(text);
    }
}

std::function<void(const std::string&)> set_clipboard_backend(
    std::function<void(const std::string&)> backend) {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_backend, std::move(backend));
}

}  // namespace kora_ui::text_selection
