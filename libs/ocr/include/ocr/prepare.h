// Page image preparation before recognition: luminance, contrast, and straightening of tilted lines.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>

#include "ocr/types.h"

namespace ocr {

inline constexpr std::uint32_t max_page_side = 10'000;
inline constexpr std::uint64_t max_page_pixels = 60'000'000;

// True when a page of this size is refused before anything is done with it.
[[nodiscard]] bool exceeds_page_limits(std::uint32_t width, std::uint32_t height);

// Checks the size, converts to luminance, raises the contrast and straightens a visible tilt. A page of
// at least 32 x 32 pixels that the raised contrast would leave mostly dark (more than 2/5 of its pixels at
// or below the Otsu threshold) keeps its plain luminance: the engine takes seconds on such a page.
// The result has the input's width and height. A pixel buffer shorter than its size promises is refused
// as an image the encoder cannot take (`image_encoding`).
[[nodiscard]] std::expected<GrayImage, OcrError> prepare_page_image(const ImageView& image);

// BT.709 luminance (0.2126 R + 0.7152 G + 0.0722 B, truncated); alpha is dropped. The buffer must be whole.
[[nodiscard]] GrayImage to_luminance(const ImageView& image);

// Contrast raised by 22 percent, in place: v -> ((v / 255 - 0.5) * 1.22^2 + 0.5) * 255 in single precision,
// clamped to 0..255 and truncated.
void raise_contrast(GrayImage& image);

// The threshold 0..255 that best separates dark from light pixels (Otsu's histogram method).
[[nodiscard]] std::uint8_t otsu_threshold(const GrayImage& image);

// The tilt of the text lines in degrees, a multiple of 0.5 within +-5, or nothing when the page is too
// small, too blank, too dark or not visibly tilted. Rotating by the angle straightens the lines.
[[nodiscard]] std::optional<double> estimate_skew(const GrayImage& image);

// How sharply the dark pixels (value <= threshold) gather into rows when the page is turned by `degrees`:
// the sum of the squared counts of the row profile.
[[nodiscard]] std::uint64_t projection_score(const GrayImage& image, std::uint8_t threshold, double degrees);

// The page turned by `degrees` about its centre with bilinear sampling; pixels from outside are white.
[[nodiscard]] GrayImage rotate_image(const GrayImage& image, double degrees);

}  // namespace ocr
