// The user's preferred printer: kept by libcups (lpoptions, LPDEST, PRINTER, the server default), or
// in a private directory when a private print system asks for one.
#pragma once

#include <cups/cups.h>

#include <optional>
#include <string>
#include <vector>

#include "printing/printing.h"

namespace os_actions::printing::cups {

// The preferred queue among the known ones, if any.
[[nodiscard]] std::optional<std::string> preferred_queue(http_t* http, const std::vector<PrintQueue>& known);

}  // namespace os_actions::printing::cups
