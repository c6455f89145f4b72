#include "text_page.h"

#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include "base/utf8.h"

namespace ocr::testing {

namespace {

void draw_line(GrayImage& page, const stbtt_fontinfo& font, float scale, int baseline, int x0,
               const std::string& text) {
    float x = static_cast<float>(x0);
    std::size_t at = 0;
    int previous = 0;
    std::vector<std::uint8_t> glyph;
    while (at < text.size()) {
        const int c = static_cast<int>(base::utf8::next_code_point(text, at));
        if (previous != 0) {
            x += scale * static_cast<float>(stbtt_GetCodepointKernAdvance(&font, previous, c));
        }
        int advance = 0;
        int bearing = 0;
        stbtt_GetCodepointHMetrics(&font, c, &advance, &bearing);
        int ix0 = 0;
        int iy0 = 0;
        int ix1 = 0;
        int iy1 = 0;
        stbtt_GetCodepointBitmapBox(&font, c, scale, scale, &ix0, &iy0, &ix1, &iy1);
        const int w = ix1 - ix0;
        const int h = iy1 - iy0;
        if (w > 0 && h > 0) {
            glyph.assign(static_cast<std::size_t>(w) * h, 0);
            stbtt_MakeCodepointBitmap(&font, glyph.data(), w, h, w, scale, scale, c);
            const int gx = static_cast<int>(std::lround(x)) + ix0;
            const int gy = baseline + iy0;
            for (int yy = 0; yy < h; ++yy) {
                for (int xx = 0; xx < w; ++xx) {
                    const int px = gx + xx;
                    const int py = gy + yy;
                    if (px < 0 || py < 0 || px >= static_cast<int>(page.width) ||
                        py >= static_cast<int>(page.height)) {
                        continue;
                    }
                    auto& pixel = page.pixels[static_cast<std::size_t>(py) * page.width + px];
                    pixel = std::min<std::uint8_t>(pixel, 255 - glyph[static_cast<std::size_t>(yy) * w + xx]);
                }
            }
        }
        x += scale * static_cast<float>(advance);
        previous = c;
    }
}

}  // namespace

std::expected<GrayImage, std::string> render_text_page(const TextPage& page,
                                                       const std::vector<std::string>& lines,
                                                       const std::filesystem::path& font_path) {
    std::ifstream file(font_path, std::ios::binary);
    if (!file) {
        return std::unexpected("cannot open the font " + font_path.string());
    }
    const std::vector<unsigned char> data{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    stbtt_fontinfo font{};
    if (stbtt_InitFont(&font, data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0)) == 0) {
        return std::unexpected("cannot read the font " + font_path.string());
    }
    const float scale = stbtt_ScaleForPixelHeight(&font, page.pixel_height);
    int ascent = 0;
    int descent = 0;
    int gap = 0;
    stbtt_GetFontVMetrics(&font, &ascent, &descent, &gap);
    GrayImage image{page.width, page.height,
                    std::vector<std::uint8_t>(static_cast<std::size_t>(page.width) * page.height, 255)};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int baseline = static_cast<int>(page.top + i * page.line_advance) +
                             static_cast<int>(std::lround(scale * static_cast<float>(ascent)));
        draw_line(image, font, scale, baseline, static_cast<int>(page.left), lines[i]);
    }
    return image;
}

std::vector<std::string> english_lines(std::size_t count) {
    static const std::vector<std::string> sentences = {
        "The quick brown fox jumps over the lazy dog",
        "Printing and scanning should be simple for everyone",
        "Please return the signed contract before Friday",
        "Seven bright lamps were lit along the harbour wall",
        "Our invoice lists three items and the total amount",
        "Fresh bread and coffee are served every morning",
        "The library opens at nine and closes at six",
        "Send the documents to the office on Market Street",
        "A gentle breeze moved slowly across the green fields",
        "Remember to water the plants while we are away",
    };
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back(sentences[i % sentences.size()]);
    }
    return lines;
}

GrayImage bar_page(std::uint32_t width, std::uint32_t height, double degrees) {
    GrayImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 250)};
    const double sn = std::sin(degrees * std::numbers::pi / 180.0);
    const double cs = std::cos(degrees * std::numbers::pi / 180.0);
    const double cx = (width - 1.0) * 0.5;
    const double cy = (height - 1.0) * 0.5;
    const double spacing = std::max(12.0, height / 40.0);
    const double thickness = spacing / 5.0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            // The coordinate across the bars: the row the pixel lands on once the page is straightened.
            const double across = cy + sn * (x - cx) + cs * (y - cy);
            const double along = cx + cs * (x - cx) - sn * (y - cy);
            if (across < 0.12 * height || across > 0.88 * height || along < 0.12 * width ||
                along > 0.88 * width) {
                continue;
            }
            if (std::fmod(across, spacing) < thickness) {
                image.pixels[static_cast<std::size_t>(y) * width + x] = 30;
            }
        }
    }
    return image;
}

std::vector<std::uint8_t> to_rgba(const GrayImage& image) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(image.pixels.size() * 4);
    for (const std::uint8_t v : image.pixels) {
        rgba.insert(rgba.end(), {v, v, v, 255});
    }
    return rgba;
}

}  // namespace ocr::testing
