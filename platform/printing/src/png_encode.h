// PNG encoding of a scanned frame in memory (libpng).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "printing/printing.h"

namespace os_actions::printing::png {

struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t channels = 1;   // 1 grey, 3 RGB
    std::uint8_t bit_depth = 8;  // 8, or 1 for grey where a set bit is white (PNG's sense)
    std::size_t stride = 0;      // bytes per row in pixels
    std::span<const std::uint8_t> pixels;
    std::uint32_t dpi = 0;  // written as pHYs when known
};

[[nodiscard]] Result<Bytes> encode(const Image& image);

}  // namespace os_actions::printing::png
