// Text recognition of one page image by the external `tesseract` program: prepare the page, write it to
// a temporary PNG, run the engine under limits, and read its words in reading order.
//
//     auto output = ocr::recognize_page(ocr::ImageView{pixels, width, height, ocr::PixelLayout::rgba},
//     "eng"); if (output) text = ocr::join_words(output->words); else if (output.error().kind ==
//     ocr::OcrErrorKind::engine_missing) ...
#pragma once

#include <expected>
#include <string_view>

#include "ocr/engine.h"
#include "ocr/prepare.h"
#include "ocr/tsv.h"
#include "ocr/types.h"

namespace ocr {

// Blocks until the engine has finished (at most two minutes). Keeps no state: any number of calls may run
// at once, each with its own temporary file, which is gone when the call returns.
[[nodiscard]] std::expected<OcrOutput, OcrError> recognize_page(const ImageView& image,
                                                                std::string_view language);

}  // namespace ocr
