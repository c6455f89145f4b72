// Whatever the engine prints, the parser neither crashes nor lets through a word that breaks its promises:
// a non-empty trimmed text, a box of at least 1 x 1 inside the 32-bit range, a confidence in 0..1,
// order keys ascending, at most 250,000 words, and text that join_words can assemble.
// (The language check and the result wrapping of parse_engine_tsv are left out: see CMakeLists.txt.)
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "words.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool is_edge_space(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Real outputs begin with the header; prepend it half of the time so that word rows are reached.
    const bool with_header = size > 0 && (data[0] & 1) != 0;
    std::string text =
        with_header ? "level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\theight"
                      "\tconf\ttext\n"
                    : "";
    text.append(reinterpret_cast<const char*>(data), size);

    std::vector<ocr::OcrWord> words;
    if (const auto failure = ocr::detail::read_engine_rows(text, words)) {
        check(failure->kind == ocr::OcrErrorKind::engine_failed && words.empty());
        return 0;
    }
    check(words.size() <= ocr::max_words_per_page);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto& word = words[i];
        check(!word.text.empty());
        check(!is_edge_space(static_cast<unsigned char>(word.text.front())));
        check(!is_edge_space(static_cast<unsigned char>(word.text.back())));
        check(word.text.size() <= ocr::max_word_field_bytes);
        check(word.width >= 1 && word.height >= 1);
        check(std::uint64_t{word.left} + word.width <= UINT32_MAX);
        check(std::uint64_t{word.top} + word.height <= UINT32_MAX);
        check(word.confidence >= 0.0F && word.confidence <= 1.0F);
        if (i > 0) {
            check(words[i - 1].order_key() <= word.order_key());
        }
    }
    const std::string joined = ocr::join_words(words);
    check(words.empty() == joined.empty());
    return 0;
}
