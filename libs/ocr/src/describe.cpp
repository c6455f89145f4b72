#include <string>

#include "ocr/types.h"

namespace ocr {

std::string describe(const OcrError& error) {
    const auto with = [&error](std::string text) {
        if (!error.message.empty()) {
            text += ": " + error.message;
        }
        if (error.error) {
            text += " (" + error.error.message() + ")";
        }
        return text;
    };
    switch (error.kind) {
        case OcrErrorKind::image_encoding:
            return with("the page image could not be written as PNG");
        case OcrErrorKind::image_too_large:
            return with("the page image is too large for text recognition");
        case OcrErrorKind::invalid_language:
            return with("the language code is not valid");
        case OcrErrorKind::engine_missing:
            return with("tesseract is not installed");
        case OcrErrorKind::engine_failed:
            return with("the OCR engine failed");
        case OcrErrorKind::io_failure:
            return with("a system error stopped text recognition");
    }
    return with("text recognition failed");
}

}  // namespace ocr
