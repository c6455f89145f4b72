// The recognition engine run: `tesseract IMAGE stdout -l LANG tsv` under fixed output and time limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "bounded_command/bounded_command.h"
#include "ocr/types.h"

namespace ocr {

inline constexpr std::size_t max_language_code_bytes = 64;
inline constexpr std::size_t max_engine_message_chars = 500;

// The limits of one engine run.
struct EngineLimits {
    std::size_t stdout_bytes = 16 * 1024 * 1024;
    std::size_t stderr_bytes = 4096;
    std::chrono::milliseconds time = std::chrono::seconds(120);
};

// 1 to 64 bytes of ASCII letters, digits, '+', '-' and '_', beginning and ending with a letter or digit.
[[nodiscard]] bool validate_language_code(std::string_view code);

// The command line of the engine; its environment limits OpenMP to one thread, which on a
// small machine is several times faster than the default threading.
[[nodiscard]] bounded_command::PreparedCommand engine_command(const std::filesystem::path& image,
                                                              std::string_view language);

// Runs the engine on an image file and parses its output.
[[nodiscard]] std::expected<OcrOutput, OcrError> run_engine(const std::filesystem::path& image,
                                                            std::string_view language);
// The same under other limits (tests use short ones).
[[nodiscard]] std::expected<OcrOutput, OcrError> run_engine(const std::filesystem::path& image,
                                                            std::string_view language,
                                                            const EngineLimits& limits);

// The engine's standard error as a diagnostic: lossy UTF-8, trimmed, without control characters other
// than tab and line feed, at most 500 characters.
[[nodiscard]] std::string engine_message(std::span<const std::uint8_t> stderr_bytes);

}  // namespace ocr
