#include "base/utf8.h"

namespace base::utf8 {

namespace {

constexpr std::string_view kReplacementBytes = "\xEF\xBF\xBD";

std::uint8_t byte_at(std::string_view text, std::size_t at) {
    return static_cast<std::uint8_t>(text[at]);
}

bool is_continuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// For a lead byte: the length of its sequence and the allowed range of the second byte; 0 when invalid.
// The narrowed second-byte ranges are what rule out overlong forms, surrogates and values past U+10FFFF.
struct Lead {
    std::size_t length;
    std::uint8_t low;
    std::uint8_t high;
};

Lead lead_of(std::uint8_t byte) {
    if (byte < 0x80) {
        return {1, 0, 0};
    }
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

// The length of the well-formed sequence at `at`, or 0 with `invalid` set to the bytes that one U+FFFD
// stands for (the maximal ill-formed part).
std::size_t checked_length(std::string_view text, std::size_t at, std::size_t& invalid) {
    const Lead lead = lead_of(byte_at(text, at));
    invalid = 1;
    if (lead.length <= 1) {
        return lead.length;
    }
    if (at + 1 >= text.size() || byte_at(text, at + 1) < lead.low || byte_at(text, at + 1) > lead.high) {
        return 0;
    }
    for (std::size_t k = 2; k < lead.length; ++k) {
        if (at + k >= text.size() || !is_continuation(byte_at(text, at + k))) {
            invalid = k;
            return 0;
        }
    }
    return lead.length;
}

}  // namespace

std::size_t sequence_length(std::string_view text, std::size_t at) {
    std::size_t invalid = 0;
    return at < text.size() ? checked_length(text, at, invalid) : 0;
}

bool is_valid(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequence_length(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

char32_t next_code_point(std::string_view text, std::size_t& at) {
    const std::size_t length = sequence_length(text, at);
    if (length == 0) {
        at += 1;
        return kReplacement;
    }
    const std::uint8_t first = byte_at(text, at);
    char32_t c = length == 1 ? first : first & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (byte_at(text, at + k) & 0x3F);
    }
    at += length;
    return c;
}

std::string decode_lossy(std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        // ASCII runs are copied as they are.
        std::size_t run = at;
        while (run < text.size() && byte_at(text, run) < 0x80) {
            ++run;
        }
        out.append(text.substr(at, run - at));
        at = run;
        if (at == text.size()) {
            break;
        }
        std::size_t invalid = 0;
        const std::size_t length = checked_length(text, at, invalid);
        if (length > 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out.append(kReplacementBytes);
            at += invalid;
        }
    }
    return out;
}

std::size_t prefix_within(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t end = limit;
    while (end > 0 && is_continuation(byte_at(text, end))) {
        --end;
    }
    return end;
}

std::size_t prefix_of_characters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size() && characters < count; ++characters) {
        ++end;
        while (end < text.size() && is_continuation(byte_at(text, end))) {
            ++end;
        }
    }
    return end;
}

std::size_t without_cut_end(std::string_view text) {
    // The last lead byte is at most three bytes from the end; a sequence it starts that needs more
    // bytes than are left was cut.
    for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
        const std::size_t at = text.size() - back;
        const std::uint8_t byte = byte_at(text, at);
        if (is_continuation(byte)) {
            continue;
        }
        const std::size_t wanted = byte < 0xC0 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : byte < 0xF8 ? 4 : 1;
        return wanted > back ? at : text.size();
    }
    return text.size();
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
        while (start > begin && is_continuation(byte_at(text, start))) {
            --start;
        }
        std::size_t next = start;
        // A sequence that does not end exactly here is ill-formed, and so not white space.
        if (!is_white_space(next_code_point(text, next)) || next != end) {
            break;
        }
        end = start;
    }
    return text.substr(begin, end - begin);
}

}  // namespace base::utf8
