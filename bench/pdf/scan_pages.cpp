#include "scan_pages.h"

#include <array>

namespace presswick::bench {
namespace {

struct Random {
    std::uint64_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 16);
    }
};

// 40 glyphs of 5 x 7 cells; each cell is 4 x 4 pixels, so a glyph is about a 10-point letter.
using Glyph = std::array<std::uint8_t, 7>;
std::array<Glyph, 40> make_glyphs() {
    Random random{0x9E3779B97F4A7C15ull};
    std::array<Glyph, 40> glyphs{};
    for (Glyph& glyph : glyphs) {
        for (std::uint8_t& row : glyph) {
            row = static_cast<std::uint8_t>(random.next() & 0x1F);
        }
    }
    return glyphs;
}

}  // namespace

std::vector<std::uint8_t> scan_page(std::uint32_t seed) {
    static const auto glyphs = make_glyphs();
    constexpr std::uint32_t w = k_a4_width;
    constexpr std::uint32_t h = k_a4_height;
    std::vector<std::uint8_t> rgb(std::size_t{w} * h * 3);
    Random random{0x2545F4914F6CDD1Dull ^ (std::uint64_t{seed} << 32 | seed)};

    // Paper: nearly white, with the sensor's faint noise on one pixel in sixteen.
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        const std::uint32_t r = random.next();
        const std::uint8_t shade = (r & 15) == 0 ? static_cast<std::uint8_t>(255 - ((r >> 4) & 7)) : 255;
        rgb[i] = rgb[i + 1] = rgb[i + 2] = shade;
    }
    // Text: 60 lines of words from 300 dpi margins of an inch, dark grey ink with some spread.
    constexpr std::uint32_t margin = 300, line_pitch = 48, cell = 4, advance = 24;
    for (std::uint32_t line = 0; line < 60; ++line) {
        const std::uint32_t top = margin + line * line_pitch;
        std::uint32_t x = margin;
        while (x + advance < w - margin) {
            const std::uint32_t r = random.next();
            if (r % 7 == 0) {
                x += advance;  // a space between words
                continue;
            }
            const Glyph& glyph = glyphs[r % glyphs.size()];
            for (std::uint32_t gy = 0; gy < 7 * cell; ++gy) {
                for (std::uint32_t gx = 0; gx < 5 * cell; ++gx) {
                    if ((glyph[gy / cell] >> (gx / cell) & 1) == 0) {
                        continue;
                    }
                    std::uint8_t* pixel = &rgb[(std::size_t{top + gy} * w + x + gx) * 3];
                    const auto ink = static_cast<std::uint8_t>(24 + (random.next() & 31));
                    pixel[0] = pixel[1] = pixel[2] = ink;
                }
            }
            x += advance;
        }
    }
    return rgb;
}

}  // namespace presswick::bench
