// The SANE half of the system print service. libsane is not thread-safe, so one owner thread makes
// every SANE call (init once, device lists, open, scan, close), one device at a time; callers wait.
#pragma once

#include "printing/printing.h"

namespace os_actions::printing::sane {

[[nodiscard]] Result<std::vector<Scanner>> scanners();
[[nodiscard]] Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings);

}  // namespace os_actions::printing::sane
