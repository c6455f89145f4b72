#include "utf8.h"

namespace ocr::detail {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

bool is_continuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// For a lead byte: the length of its sequence and the allowed range of the second byte; 0 when invalid.
struct Lead {
    std::size_t length;
    std::uint8_t low;
    std::uint8_t high;
};

Lead lead_of(std::uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (byte == 0xE0) {
        return {3, 0xA0, 0xBF};
    }
    if (byte == 0xED) {
        return {3, 0x80, 0x9F};
    }
    if (byte >= 0xE1 && byte <= 0xEF) {
        return {3, 0x80, 0xBF};
    }
    if (byte == 0xF0) {
        return {4, 0x90, 0xBF};
    }
    if (byte >= 0xF1 && byte <= 0xF3) {
        return {4, 0x80, 0xBF};
    }
    if (byte == 0xF4) {
        return {4, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

// The length of the valid sequence at `at`, or 0 with `invalid` set to the bytes to replace by one U+FFFD.
std::size_t valid_length(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t& invalid) {
    const Lead lead = lead_of(bytes[at]);
    invalid = 1;
    if (lead.length == 0) {
        return 0;
    }
    if (at + 1 >= bytes.size() || bytes[at + 1] < lead.low || bytes[at + 1] > lead.high) {
        return 0;
    }
    for (std::size_t k = 2; k < lead.length; ++k) {
        if (at + k >= bytes.size() || !is_continuation(bytes[at + k])) {
            invalid = k;
            return 0;
        }
    }
    return lead.length;
}

}  // namespace

std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        // ASCII runs are copied as they are.
        std::size_t run = at;
        while (run < bytes.size() && bytes[run] < 0x80) {
            ++run;
        }
        text.append(reinterpret_cast<const char*>(bytes.data() + at), run - at);
        at = run;
        if (at == bytes.size()) {
            break;
        }
        std::size_t invalid = 0;
        const std::size_t length = valid_length(bytes, at, invalid);
        if (length > 0) {
            text.append(reinterpret_cast<const char*>(bytes.data() + at), length);
            at += length;
        } else {
            text.append(replacement);
            at += invalid;
        }
    }
    return text;
}

char32_t next_code_point(std::string_view text, std::size_t& at) {
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    const std::uint8_t first = bytes[at];
    if (first < 0x80) {
        ++at;
        return first;
    }
    std::size_t invalid = 0;
    const std::size_t length = valid_length(bytes, at, invalid);
    if (length == 0) {
        at += 1;
        return 0xFFFD;
    }
    char32_t c = first & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (bytes[at + k] & 0x3F);
    }
    at += length;
    return c;
}

bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

std::string_view trim_white_space(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t next = begin;
        if (!is_white_space(next_code_point(text, next))) {
            break;
        }
        begin = next;
    }
    std::size_t end = text.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        std::size_t next = start;
        // A sequence that does not end exactly here is invalid, and so not white space.
        if (!is_white_space(next_code_point(text, next)) || next != end) {
            break;
        }
        end = start;
    }
    return text.substr(begin, end - begin);
}

}  // namespace ocr::detail
