// The records of text recognition: page images going in, words and failures coming out.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace ocr {

// How the channels of one pixel are laid out; the value is the number of 8-bit channels.
enum class PixelLayout : std::uint8_t { gray = 1, gray_alpha = 2, rgb = 3, rgba = 4 };

// A decoded page image of any layout, rows top to bottom without padding.
struct ImageView {
    std::span<const std::uint8_t> pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelLayout layout = PixelLayout::rgba;
};

// One luminance byte per pixel (0 black, 255 white), rows top to bottom.
struct GrayImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;

    [[nodiscard]] std::uint8_t at(std::uint32_t x, std::uint32_t y) const {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
    [[nodiscard]] ImageView view() const { return {pixels, width, height, PixelLayout::gray}; }
    bool operator==(const GrayImage&) const = default;
};

// One recognised word; the box is in the coordinates of the prepared image.
struct OcrWord {
    std::string text;  // trimmed, never empty
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t width = 0;   // at least 1
    std::uint32_t height = 0;  // at least 1
    float confidence = 0.0F;   // 0.0 .. 1.0
    std::uint32_t page = 0;
    std::uint32_t block = 0;
    std::uint32_t paragraph = 0;
    std::uint32_t line = 0;
    std::uint32_t word = 0;

    [[nodiscard]] std::array<std::uint32_t, 4> line_key() const { return {page, block, paragraph, line}; }
    [[nodiscard]] std::array<std::uint32_t, 5> order_key() const {
        return {page, block, paragraph, line, word};
    }
    bool operator==(const OcrWord&) const = default;
};

// A successful recognition: the words in reading order and the language code used.
struct OcrOutput {
    std::vector<OcrWord> words;
    std::string language;
};

enum class OcrErrorKind : std::uint8_t {
    image_encoding,    // writing the temporary PNG failed; `message` is the PNG library's error
    image_too_large,   // the page exceeds the preparation limits
    invalid_language,  // the language code is not acceptable
    engine_missing,    // there is no `tesseract` program to start
    engine_failed,     // the engine failed, timed out, passed a limit or gave unusable output; `message` says
                       // which
    io_failure,  // the temporary file or the engine process could not be set up; `error` is the system error
};

struct OcrError {
    OcrErrorKind kind = OcrErrorKind::engine_failed;
    std::string message;
    std::error_code error;

    bool operator==(const OcrError&) const = default;
};

// A one-line description for diagnostics, such as "the OCR engine failed: OCR engine timed out".
[[nodiscard]] std::string describe(const OcrError& error);

}  // namespace ocr
