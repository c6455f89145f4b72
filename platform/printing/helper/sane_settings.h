// Choosing a scanner's source, mode, depth and resolution from the program's scan settings. A feeder or
// two-sided request that the scanner cannot honour is refused rather than scanned from the flatbed.
#pragma once

#include <sane/sane.h>

#include "printing/printing.h"

namespace os_actions::printing::helper {

// Which of the program's sources an opened scanner has, from its "source" option (and "adf-mode" for
// backends that scan both sides through the feeder). Without a source option it has the flatbed only.
struct Sources {
    bool feeder = false;
    bool two_sided = false;
};
[[nodiscard]] Sources sources_of(SANE_Handle handle);

// The resolution the scanner accepted, in dots per inch (0 when it has no resolution option).
[[nodiscard]] Result<SANE_Word> apply_settings(SANE_Handle handle, const ScanSettings& settings);

}  // namespace os_actions::printing::helper
