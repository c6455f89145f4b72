// Pure helpers for a printer's options and a job's choices: readable paper names from PWG media names,
// and what a printer's supported values leave to choose. No I/O, so they are unit-tested on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "printing/printing.h"

namespace os_actions::printing::detail {

// "A4", "Letter", "Legal", ... for a well-known PWG media name ("iso_a4_210x297mm"); otherwise the
// size it names ("100 × 150 mm", "4 × 6 in"); nothing for a name that is not self-describing.
[[nodiscard]] std::optional<std::string> paper_name(std::string_view keyword);

// Drops duplicates and choices the printer offers nothing to choose from (a single value), and a default
// that is not among the supported values.
void tidy(PrinterOptions& options);

}  // namespace os_actions::printing::detail
