// The invisible text laid over a page image: every recognised word where it stands, so viewers find,
// select and copy it there.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pdf/pdf_writer.h"
#include "pdf/placement.h"

namespace presswick::pdf {

// Content operators that draw `words` (boxes in the pixels of a width x height image shown at
// `placement`) as invisible Helvetica text: one font size a line, from its height, and each word
// stretched (Tz) to its box. Empty when no word has anything to draw.
[[nodiscard]] std::string word_layer(std::span<const PdfWord> words, std::uint32_t width,
                                     std::uint32_t height, const Placement& placement);

// Advance width of WinAnsi bytes in Helvetica, in thousandths of the font size.
[[nodiscard]] std::uint32_t helvetica_width(std::string_view winansi);

}  // namespace presswick::pdf
