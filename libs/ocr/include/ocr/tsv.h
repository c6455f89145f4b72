// The engine's tab-separated output turned into words in reading order, and the page text built from them.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "ocr/types.h"

namespace ocr {

inline constexpr std::size_t max_engine_output_bytes = 16 * 1024 * 1024;
inline constexpr std::size_t max_words_per_page = 250'000;
inline constexpr std::size_t max_word_field_bytes = 4096;

// Keeps the well-formed word rows (level 5) of `text`, skipping the header and every malformed row, and
// returns them sorted by (page, block, paragraph, line, word), ties in row order.
[[nodiscard]] std::expected<OcrOutput, OcrError> parse_engine_tsv(std::string_view text,
                                                                  std::string_view language);

// Words of one line joined by a space, lines (a new page, block, paragraph or line) by one line feed.
[[nodiscard]] std::string join_words(const std::vector<OcrWord>& words);

}  // namespace ocr
