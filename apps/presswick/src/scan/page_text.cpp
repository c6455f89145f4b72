#include "scan/page_text.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "ocr/ocr.h"

namespace presswick::scan {

namespace {
bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}
}  // namespace

std::expected<RecognizedText, RecognitionFailure> recognize_text(const ImageSamples& image,
                                                                 std::string_view language_code) {
    const ocr::ImageView view{image.samples, image.width, image.height,
                              static_cast<ocr::PixelLayout>(image.channels)};
    auto output = ocr::recognize_page(view, language_code);
    if (!output) {
        return std::unexpected(output.error().kind == ocr::OcrErrorKind::engine_missing
                                   ? RecognitionFailure::engine_missing
                                   : RecognitionFailure::failed);
    }
    RecognizedText recognized;
    if (output->words.empty()) {
        recognized.status = "No text was found on this page.";
        return recognized;
    }
    std::string text = ocr::join_words(output->words);
    if (!blank(text)) {
        recognized.text = std::move(text);
    }
    recognized.status = "Recognized " + std::to_string(output->words.size()) + " words.";
    return recognized;
}

}  // namespace presswick::scan
