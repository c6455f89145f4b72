#include "pdf/pdf_text.h"

#include "base/utf8.h"

namespace presswick::pdf {

char winansi_byte(char32_t scalar) {
    switch (scalar) {
        case 0x2018:
            return static_cast<char>(0x91);
        case 0x2019:
            return static_cast<char>(0x92);
        case 0x201C:
            return static_cast<char>(0x93);
        case 0x201D:
            return static_cast<char>(0x94);
        case 0x2022:
            return static_cast<char>(0x95);
        case 0x2013:
            return static_cast<char>(0x96);
        case 0x2014:
            return static_cast<char>(0x97);
        case 0x2026:
            return static_cast<char>(0x85);
        case 0x00A0:
            return ' ';
        case 0x0009:
            return ' ';
        default:
            break;
    }
    if ((scalar >= 0x20 && scalar <= 0x7E) || (scalar >= 0xA1 && scalar <= 0xFF)) {
        return static_cast<char>(scalar);
    }
    return '?';
}

char winansi_complete_byte(char32_t scalar) {
    // 0x80 to 0x9F: the characters WinAnsi puts there, in byte order (0 where it has none).
    static constexpr char32_t k_high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (scalar >= 0x100) {
        for (std::size_t i = 0; i < 32; ++i) {
            if (k_high[i] == scalar) {
                return static_cast<char>(0x80 + i);
            }
        }
        return '?';
    }
    return winansi_byte(scalar);
}

namespace {
template <class Convert>
std::string convert(std::string_view utf8, Convert byte_of) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        out.push_back(byte_of(base::utf8::next_code_point(utf8, pos)));
    }
    return out;
}
}  // namespace

std::string to_winansi(std::string_view utf8) {
    return convert(utf8, winansi_byte);
}

std::string to_winansi_complete(std::string_view utf8) {
    return convert(utf8, winansi_complete_byte);
}

std::string escape_literal(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        switch (c) {
            case '(':
            case ')':
            case '\\':
                out.push_back('\\');
                out.push_back(c);
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
                break;
        }
    }
    return out;
}

bool has_visible_text(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (!base::utf8::is_white_space(base::utf8::next_code_point(utf8, pos))) {
            return true;
        }
    }
    return false;
}

}  // namespace presswick::pdf
