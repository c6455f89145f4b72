// Pieces of the thumbnail service shared between its files.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

#include "thumbnail/thumbnail.h"

namespace thumbnail::detail {

// Anything decoded must stay below this many pixels (an untrusted file may claim any size).
inline constexpr std::uint64_t kMaxSourcePixels = 80'000'000;
inline constexpr std::uint32_t kMaxSourceSide = 20'000;
// Text files: read at most this much.
inline constexpr std::size_t kMaxTextBytes = 256 * 1024;

[[nodiscard]] std::expected<std::vector<std::uint8_t>, std::string> read_file(
    const std::filesystem::path& path, std::size_t limit);
// Triangle-filtered RGBA resize so that the longer side is at most max_side.
[[nodiscard]] Image fit_rgba(std::vector<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height,
                             std::uint32_t max_side);
[[nodiscard]] std::expected<Image, std::string> render_text_page(const std::vector<std::uint8_t>& bytes,
                                                                 std::uint32_t max_side);

}  // namespace thumbnail::detail
