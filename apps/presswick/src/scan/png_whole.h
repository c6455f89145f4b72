// PNG pages the common way, inflated in one piece: 8-bit grey, grey and alpha, RGB or RGBA, or 1-bit grey
// (line art), not interlaced, without a transparent colour. That is every page the scan service sends.
#pragma once

#include <expected>
#include <optional>
#include <span>
#include <string>

#include "scan/page_image.h"

namespace presswick::scan::png_whole {

// Grey as stored, one-bit grey as 8-bit 0 or 255 (as the general decoder gives it); colour as RGBA in
// `rgba`, the buffer the page then keeps.
// Nothing when the file is not one of the layouts above: the general path then reads it. A file of such a
// layout that is damaged (a critical chunk's CRC, the data's checksum, a stream that ends early) is an error
// text; a damaged ancillary chunk is left to the general path, which passes over it.
[[nodiscard]] std::optional<std::expected<DecodedImage, std::string>> decode(
    std::span<const std::uint8_t> bytes);

}  // namespace presswick::scan::png_whole
