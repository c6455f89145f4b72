#include "scan/page_text.h"
#include "kora_ui/translate.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "ocr/ocr.h"
#include "views/common.h"

namespace presswick::scan {

namespace {
bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

// The words in reading order, each line numbered as join_words breaks them.
RecognizedWords page_words(const std::vector<ocr::OcrWord>& words) {
    auto out = std::make_shared<std::vector<RecognizedWord>>();
    out->reserve(words.size());
    std::uint32_t line = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && words[i].line_key() != words[i - 1].line_key()) {
            ++line;
        }
        const auto& word = words[i];
        out->push_back({word.text, word.left, word.top, word.width, word.height, line});
    }
    return out;
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
        recognized.status = kora_ui::tr("No text was found on this page.");
        return recognized;
    }
    std::string text = ocr::join_words(output->words);
    if (!blank(text)) {
        recognized.text = std::move(text);
        recognized.words = page_words(output->words);
    }
    recognized.status = views::fill(
        // TRANSLATORS: English says "words" for every count, one included; give each form its own words.
        kora_ui::trn("Recognized {} words.", "Recognized {} words.", output->words.size()),
        output->words.size());
    return recognized;
}

}  // namespace presswick::scan
