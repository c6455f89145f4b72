// UTF-8 helpers shared by the engine run and the output parser.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ocr::detail {

// The bytes as UTF-8; each maximal invalid sequence becomes one U+FFFD.
[[nodiscard]] std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes);

// The code point that starts at `at`; `at` moves past it. An invalid byte gives U+FFFD and moves by one.
[[nodiscard]] char32_t next_code_point(std::string_view text, std::size_t& at);

// The Unicode White_Space property.
[[nodiscard]] bool is_white_space(char32_t c);

// The text without Unicode white space at either end (invalid UTF-8 is never white space).
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

}  // namespace ocr::detail
