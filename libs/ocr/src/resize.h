// Resampling with a triangle (linear) filter, widened when shrinking so that every source pixel counts.
#pragma once

#include <cstdint>

#include "ocr/types.h"

namespace ocr::detail {

// The image at width x height (both at least 1). Vertical pass first, in single precision, then the
// horizontal pass; results rounded to the nearest value (halves up) and clamped to 0..255.
[[nodiscard]] GrayImage resize_triangle(const GrayImage& image, std::uint32_t width, std::uint32_t height);

}  // namespace ocr::detail
