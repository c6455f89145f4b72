#include "words.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "base/utf8.h"

namespace ocr {

namespace detail {

namespace {

constexpr std::size_t field_count = 12;

// Exactly 12 fields split at every tab, or nothing.
std::optional<std::array<std::string_view, field_count>> split_fields(std::string_view line) {
    std::array<std::string_view, field_count> fields;
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        if (count == field_count) {
            return std::nullopt;
        }
        fields[count++] =
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (count != field_count) {
        return std::nullopt;
    }
    return fields;
}

// Optional '+', then one or more ASCII digits, at most 4294967295.
std::optional<std::uint32_t> parse_unsigned(std::string_view field) {
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
    }
    if (field.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

// A decimal float with an optional sign; -1 when the field does not parse.
float parse_confidence(std::string_view field) {
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
        if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
            return -1.0F;
        }
    }
    float value = 0.0F;
    const char* end = field.data() + field.size();
    const auto [ptr, error] = std::from_chars(field.data(), end, value);
    if (ptr != end || field.empty()) {
        return -1.0F;
    }
    if (error == std::errc::result_out_of_range) {
        // Too small for a float is zero; too large is infinite, which the caller refuses.
        double wide = 0.0;
        const auto [wide_ptr, wide_error] = std::from_chars(field.data(), end, wide);
        if (wide_ptr != end || wide_error != std::errc() || std::abs(wide) >= 1.0) {
            return std::numeric_limits<float>::infinity();
        }
        return std::signbit(wide) ? -0.0F : 0.0F;
    }
    return error == std::errc() ? value : -1.0F;
}

// The word of one data row, or nothing when the row is not an acceptable word.
std::optional<OcrWord> word_of(std::string_view line) {
    const auto fields = split_fields(line);
    if (!fields || (*fields)[0] != "5") {
        return std::nullopt;
    }
    const std::string_view raw_text = (*fields)[11];
    if (raw_text.size() > max_word_field_bytes) {
        return std::nullopt;
    }
    const std::string_view text = base::utf8::trim_white_space(raw_text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::array<std::uint32_t, 9> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto number = parse_unsigned((*fields)[i + 1]);
        if (!number) {
            return std::nullopt;
        }
        numbers[i] = *number;
    }
    const auto [page, block, paragraph, line_number, word, left, top, width, height] = numbers;
    constexpr std::uint64_t max = std::numeric_limits<std::uint32_t>::max();
    if (width == 0 || height == 0 || std::uint64_t{left} + width > max || std::uint64_t{top} + height > max) {
        return std::nullopt;
    }
    const float confidence = parse_confidence((*fields)[10]);
    if (confidence < 0.0F || std::isinf(confidence) || std::isnan(confidence)) {
        return std::nullopt;
    }
    return OcrWord{.text = std::string(text),
                   .left = left,
                   .top = top,
                   .width = width,
                   .height = height,
                   .confidence = std::clamp(confidence / 100.0F, 0.0F, 1.0F),
                   .page = page,
                   .block = block,
                   .paragraph = paragraph,
                   .line = line_number,
                   .word = word};
}

}  // namespace

std::optional<OcrError> read_engine_rows(std::string_view text, std::vector<OcrWord>& words) {
    words.clear();
    if (text.size() > max_engine_output_bytes) {
        return OcrError{OcrErrorKind::engine_failed, "OCR output exceeded the safety limit", {}};
    }
    bool header = true;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t feed = text.find('\n', start);
        const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        std::string_view line = text.substr(start, end - start);
        start = feed == std::string_view::npos ? text.size() : feed + 1;
        if (feed != std::string_view::npos && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (std::exchange(header, false)) {
            continue;
        }
        auto word = word_of(line);
        if (!word) {
            continue;
        }
        if (words.size() == max_words_per_page) {
            words.clear();
            return OcrError{OcrErrorKind::engine_failed, "OCR returned too many words", {}};
        }
        words.push_back(std::move(*word));
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const OcrWord& a, const OcrWord& b) { return a.order_key() < b.order_key(); });
    return std::nullopt;
}

}  // namespace detail

std::string join_words(const std::vector<OcrWord>& words) {
    std::string text;
    if (words.empty()) {
        return text;
    }
    text = words.front().text;
    auto line = words.front().line_key();
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i].line_key() != line) {
            text += '\n';
        } else if (!text.empty()) {
            text += ' ';
        }
        text += words[i].text;
        line = words[i].line_key();
    }
    return text;
}

}  // namespace ocr
