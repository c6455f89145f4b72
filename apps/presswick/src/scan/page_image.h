// Page images in and out: decoding the scanner's untrusted bytes to RGBA, and encoding RGBA as PNG or
// JPEG.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ocr/prepare.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

// The largest page the program decodes from a scanner: far beyond A3 at 600 dpi (about 70 MP), so a real
// scan is always kept, yet a forged header cannot ask for tens of gigabytes. A page larger than text
// recognition takes is kept without text.
inline constexpr std::uint32_t max_decoded_side = 40'000;
inline constexpr std::uint64_t max_decoded_pixels = 250'000'000;
[[nodiscard]] constexpr bool page_size_allowed(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= max_decoded_side && height <= max_decoded_side &&
           width * height <= max_decoded_pixels;
}

// A decoded page: `channels` bytes a pixel as the file stored them (1 grey, 2 grey+alpha, 3 RGB, 4 RGBA),
// except where the decoder wrote colour as RGBA straight away: then `rgba` holds the samples, and the page
// takes that buffer as it is. The samples stay in the decoder's own buffer (no copy of a 35 MB page).
struct DecodedImage {
    std::shared_ptr<const std::uint8_t> data;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t channels = 0;
    Bytes rgba = {};

    [[nodiscard]] std::span<const std::uint8_t> samples() const {
        return {data.get(), std::size_t{width} * height * channels};
    }
};

// Decodes any format the image library knows, detected from the bytes. The declared size is checked
// against the page limits before anything is decoded; every failure is an error text.
[[nodiscard]] std::expected<DecodedImage, std::string> decode_page_image(std::span<const std::uint8_t> bytes);
// The image as RGBA, 8 bits a channel; alpha is opaque when the image had none. The decoder's RGBA buffer
// itself when it wrote one.
[[nodiscard]] Bytes to_rgba(const DecodedImage& image);
// RGBA as a PNG file with the library's default settings; the error is the library's message.
[[nodiscard]] std::expected<Bytes, std::string> encode_png(std::span<const std::uint8_t> rgba,
                                                           std::uint32_t width, std::uint32_t height);

// RGBA as a baseline JPEG file at `quality` (1 to 100); alpha is dropped. The error says why not.
[[nodiscard]] std::expected<Bytes, std::string> encode_jpeg(std::span<const std::uint8_t> rgba,
                                                            std::uint32_t width, std::uint32_t height,
                                                            int quality);

// `png` with the resolution (the pHYs chunk) that the image file `original` records, so that an edited
// page still opens at its real size; `png` unchanged when `original` records none or `png` has one.
// The scan service records the same resolution on both axes, so a quarter turn keeps it as it is.
[[nodiscard]] Bytes with_resolution_of(Bytes png, std::span<const std::uint8_t> original);

}  // namespace presswick::scan
