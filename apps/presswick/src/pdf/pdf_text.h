// The invisible text layer's string: UTF-8 to one WinAnsi byte per character, then literal escaping.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace presswick::pdf {

// The WinAnsi byte of one Unicode scalar value; '?' for anything the table does not list.
[[nodiscard]] char winansi_byte(char32_t scalar);

// The byte of the whole WinAnsi table (0x80 euro, 0x8A S caron, 0x9C oe, ...), used by the text laid
// over recognised words; tab and no-break space are spaces, '?' for anything the encoding lacks.
[[nodiscard]] char winansi_complete_byte(char32_t scalar);
[[nodiscard]] std::string to_winansi_complete(std::string_view utf8);

// The whole text converted. Bytes that do not begin a well-formed UTF-8 sequence count as one
// character each outside the table, so each becomes one '?'.
[[nodiscard]] std::string to_winansi(std::string_view utf8);

// A backslash before '(', ')' and '\'; line feed and carriage return as \n and \r (the conversion
// leaves none, but the escaping is complete on its own). Everything else unchanged.
[[nodiscard]] std::string escape_literal(std::string_view bytes);

// True when the text holds anything besides Unicode white space (what trimming would leave).
[[nodiscard]] bool has_visible_text(std::string_view utf8);

}  // namespace presswick::pdf
