// Choosing a scanner's source, mode, depth and resolution from the program's scan settings. A feeder or
// two-sided request that the scanner cannot honour is refused rather than scanned from the flatbed.
#pragma once

#include <sane/sane.h>

#include "printing/printing.h"

namespace os_actions::printing::helper {

// The resolution the scanner accepted, in dots per inch (0 when it has no resolution option).
[[nodiscard]] Result<SANE_Word> apply_settings(SANE_Handle handle, const ScanSettings& settings);

}  // namespace os_actions::printing::helper
