// Parts of the print dialog built in files of their own.
#pragma once

#include <optional>
#include <string>

#include "kora_ui/widget.h"
#include "printing/printing.h"

namespace presswick::surface {
class Presswick;
}

namespace presswick::views {

// The card "Printing options": copies and both sides, then each choice `offered` has; `pages_caption`
// says what is wrong with the pages typed.
[[nodiscard]] kora_ui::WidgetPtr print_options_card(
    const surface::Presswick& state, const std::optional<os_actions::printing::PrinterOptions>& offered,
    const std::optional<std::string>& pages_caption);

}  // namespace presswick::views
