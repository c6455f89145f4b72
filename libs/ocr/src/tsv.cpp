#include "ocr/tsv.h"

#include "ocr/engine.h"
#include "words.h"

namespace ocr {

std::expected<OcrOutput, OcrError> parse_engine_tsv(std::string_view text, std::string_view language) {
    if (!validate_language_code(language)) {
        return std::unexpected(OcrError{OcrErrorKind::invalid_language, {}, {}});
    }
    OcrOutput output{{}, std::string(language)};
    if (auto failure = detail::read_engine_rows(text, output.words)) {
        return std::unexpected(std::move(*failure));
    }
    return output;
}

}  // namespace ocr
