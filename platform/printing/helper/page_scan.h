// One page from an opened, configured device, streamed as PNG into the frame writer row by row as the
// scanner delivers them. Only three-pass colour and scanners that do not know the page length in advance
// need the page held in memory (as 8-bit samples) before it is encoded.
#pragma once

#include <sane/sane.h>

#include "frame_writer.h"
#include "printing/printing.h"

namespace os_actions::printing::helper {

// The failure of a page when the feeder has no sheet left (SANE_STATUS_NO_DOCS from sane_start).
inline constexpr std::string_view no_sheet_left = "The document feeder is empty";

[[nodiscard]] Result<void> scan_page(SANE_Handle handle, SANE_Word dpi, FrameWriter& out);

}  // namespace os_actions::printing::helper
