// Synthetic pages for tests and benchmarks: lines of text drawn with a real font, and tilted bar pages.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

#include "ocr/types.h"

namespace ocr::testing {

// DejaVu Sans, which the project installs for its user interface.
inline const std::filesystem::path default_font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct TextPage {
    std::uint32_t width = 2480;
    std::uint32_t height = 3508;
    float pixel_height = 50.0F;  // about 12 point at 300 dpi
    std::uint32_t left = 200;
    std::uint32_t top = 200;
    std::uint32_t line_advance = 80;
};

// Black text (UTF-8 lines) on a white page; the font's reason when it cannot be loaded.
[[nodiscard]] std::expected<GrayImage, std::string> render_text_page(
    const TextPage& page, const std::vector<std::string>& lines,
    const std::filesystem::path& font = default_font);

// `count` lines of plain English prose, each different.
[[nodiscard]] std::vector<std::string> english_lines(std::size_t count);

// A page of dark bars (value 30 on 250) tilted counterclockwise by `degrees` as seen on screen, so that
// rotating by `degrees` makes them horizontal.
[[nodiscard]] GrayImage bar_page(std::uint32_t width, std::uint32_t height, double degrees);

// The same image as RGBA, for callers that hand over decoded colour pages.
[[nodiscard]] std::vector<std::uint8_t> to_rgba(const GrayImage& image);

}  // namespace ocr::testing
