#include "ocr/ocr.h"
#include "ocr/temp_png.h"

namespace ocr {

std::expected<OcrOutput, OcrError> recognize_page(const ImageView& image, std::string_view language) {
    if (!validate_language_code(language)) {
        return std::unexpected(OcrError{OcrErrorKind::invalid_language, {}, {}});
    }
    auto prepared = prepare_page_image(image);
    if (!prepared) {
        return std::unexpected(prepared.error());
    }
    auto file = TempPng::create();
    if (!file) {
        return std::unexpected(file.error());
    }
    if (auto written = file->write(*prepared); !written) {
        return std::unexpected(written.error());
    }
    return run_engine(file->path(), language);
}

}  // namespace ocr
