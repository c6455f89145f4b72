// Rotating and cropping a page: new buffers replace the old ones, so the page key changes.
#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "kora_ui/local_state.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

// A rectangle of whole pixels inside a page.
struct PixelRect {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The pixels a valid selection cuts from a width x height page: never empty, never outside the page.
[[nodiscard]] PixelRect crop_rectangle(const kora_ui::CropSelection& selection, std::uint32_t width,
                                       std::uint32_t height);

// Turns the page a quarter turn clockwise (counter-clockwise when asked); the error is the reason shown
// to the user. On failure the page is left exactly as it was.
[[nodiscard]] std::expected<void, std::string> rotate_page(ScannedPage& page, bool counter_clockwise = false);
// Cuts the page to the selection (fractions of the page); the error is the reason shown to the user.
// The whole-page selection changes nothing. On failure the page is left exactly as it was.
[[nodiscard]] std::expected<void, std::string> crop_page(ScannedPage& page,
                                                         const kora_ui::CropSelection& selection);

}  // namespace presswick::scan
