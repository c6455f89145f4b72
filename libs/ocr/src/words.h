// The word rows of the engine's output, read without the language check, so that the fuzz target can
// reach them with compilers whose std::expected support is incomplete.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "ocr/tsv.h"

namespace ocr::detail {

// Fills `words` with the accepted word rows of `text` in reading order; on a failure of the whole page
// (output or word limit) returns it and leaves `words` empty.
[[nodiscard]] std::optional<OcrError> read_engine_rows(std::string_view text, std::vector<OcrWord>& words);

}  // namespace ocr::detail
