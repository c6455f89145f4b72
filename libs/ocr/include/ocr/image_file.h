// Image files decoded in memory, whatever their format (PNG, JPEG, BMP, ...), with their own channel layout.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "ocr/types.h"

namespace ocr {

struct DecodedImage {
    std::vector<std::uint8_t> pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelLayout layout = PixelLayout::rgba;

    [[nodiscard]] ImageView view() const { return {pixels, width, height, layout}; }
};

struct ImageSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The size written in the file's header, without decoding the pixels; the decoder's reason on failure.
[[nodiscard]] std::expected<ImageSize, std::string> image_size(std::span<const std::uint8_t> bytes);

// The decoded pixels at 8 bits per channel; the decoder's reason on failure.
[[nodiscard]] std::expected<DecodedImage, std::string> decode_image(std::span<const std::uint8_t> bytes);

}  // namespace ocr
