// The clipboard, through whatever backend the host (or a test) installed.
#pragma once

#include <functional>
#include <string>

namespace kora_ui::text_selection {

void clipboard_copy(const std::string& text);
// The host installs the real clipboard; tests a recorder. Returns the previous backend.
std::function<void(const std::string&)> set_clipboard_backend(
    std::function<void(const std::string&)> backend);

}  // namespace kora_ui::text_selection
