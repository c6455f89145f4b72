// Text recognition of one page image, as the scan workers use it: words joined, the status line chosen.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string_view>

#include "operation.h"

namespace presswick::scan {

// Borrowed samples of a decoded image: `channels` bytes a pixel (1, 2, 3 or 4), rows top to bottom.
struct ImageSamples {
    std::span<const std::uint8_t> samples;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t channels = 0;
};

enum class RecognitionFailure : std::uint8_t { engine_missing, failed };

// The text (absent when there were no words) and "Recognized {n} words." or "No text was found on
// this page."; blocks until the engine has finished.
[[nodiscard]] std::expected<RecognizedText, RecognitionFailure> recognize_text(
    const ImageSamples& image, std::string_view language_code);

}  // namespace presswick::scan
