// Rotating and cropping a page: new buffers replace the old ones, so the page key changes.
#pragma once

#include <expected>
#include <string>

#include "kora_ui/local_state.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

// Turns the page a quarter turn clockwise; the error is the reason shown to the user.
[[nodiscard]] std::expected<void, std::string> rotate_page(ScannedPage& page);
// Cuts the page to the selection (fractions of the page); the error is the reason shown to the user.
[[nodiscard]] std::expected<void, std::string> crop_page(ScannedPage& page,
                                                         const kora_ui::CropSelection& selection);

}  // namespace presswick::scan
