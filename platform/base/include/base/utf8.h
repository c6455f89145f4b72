// UTF-8 as every part of the system reads it: well-formed sequences only, so no overlong forms, no
// surrogates and nothing above U+10FFFF. A character is a lead byte with the continuation bytes after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace base::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// The length of the well-formed sequence that starts at `at`; 0 when none does.
[[nodiscard]] std::size_t sequence_length(std::string_view text, std::size_t at);

// Whether the text is well-formed UTF-8 throughout.
[[nodiscard]] bool is_valid(std::string_view text);

// The code point that starts at `at`; `at` moves past it. A byte that starts no well-formed sequence
// gives U+FFFD and moves by one.
[[nodiscard]] char32_t next_code_point(std::string_view text, std::size_t& at);

// The bytes as UTF-8; each maximal ill-formed part becomes one U+FFFD.
[[nodiscard]] std::string decode_lossy(std::span<const std::uint8_t> bytes);

// The longest prefix of at most `limit` bytes that does not end inside a character, as a length.
[[nodiscard]] std::size_t prefix_within(std::string_view text, std::size_t limit);

// The length in bytes of the first `count` characters.
[[nodiscard]] std::size_t prefix_of_characters(std::string_view text, std::size_t count);

// The length of the text without a last character that its end cuts short (as a read limit does).
[[nodiscard]] std::size_t without_cut_end(std::string_view text);

// The Unicode White_Space property.
[[nodiscard]] bool is_white_space(char32_t c);

// The text without Unicode white space at either end (ill-formed UTF-8 is never white space).
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

}  // namespace base::utf8
