// A plain text file drawn as a white page with dark lines of text (stb's small vector font).
#include <algorithm>
#include <cmath>

#include <stb_easy_font.h>

#include "internal.h"

namespace thumbnail::detail {

namespace {

// UTF-8 to one printable ASCII character per code point ('?' for the rest); false when not UTF-8 text.
bool to_printable(const std::vector<std::uint8_t>& bytes, std::string& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = bytes[i];
        if (lead == 0) {
            return false;
        }
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0) {
            return false;
        }
        if (i + length > bytes.size()) {
            break;  // a character cut by the read limit
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        if (length > 1) {
            out += '?';
        } else if (lead == '\t') {
            out += "    ";
        } else if (lead == '\n' || (lead >= 32 && lead < 127)) {
            out += static_cast<char>(lead);
        } else if (lead != '\r') {
            out += ' ';
        }
        i += length;
    }
    return true;
}

std::vector<std::string> wrap(const std::string& text, std::size_t columns, std::size_t max_lines) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size() && lines.size() < max_lines) {
        auto end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        do {
            lines.push_back(line.substr(0, columns));
            line = line.size() > columns ? line.substr(columns) : std::string{};
        } while (!line.empty() && lines.size() < max_lines);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::expected<Image, std::string> render_text_page(const std::vector<std::uint8_t>& bytes,
                                                   std::uint32_t max_side) {
    std::string text;
    if (!to_printable(bytes, text)) {
        return std::unexpected("the file is not plain text");
    }
    // An A4 page standing up, its height the thumbnail's longer side.
    const std::uint32_t height = std::max<std::uint32_t>(max_side, 64);
    const auto width = static_cast<std::uint32_t>(std::lround(height * 595.0 / 842.0));
    const float margin = static_cast<float>(width) * 0.08F;
    constexpr std::size_t kColumns = 64;
    const float scale = std::max(1.0F, (static_cast<float>(width) - 2 * margin) / (kColumns * 6.0F));
    const float line_height = 12.0F * scale;
    const auto max_lines = static_cast<std::size_t>((static_cast<float>(height) - 2 * margin) / line_height);

    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4, 255);
    std::vector<float> quads(64 * 1024);
    const auto lines = wrap(text, kColumns, max_lines);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (lines[n].empty()) {
            continue;
        }
        std::string line = lines[n];
        const int count = stb_easy_font_print(0, 0, line.data(), nullptr, quads.data(),
                                              static_cast<int>(quads.size() * sizeof(float)));
        // Each quad: four vertices of x, y, z and a packed colour (16 bytes each).
        for (int q = 0; q < count; ++q) {
            const float* v = &quads[static_cast<std::size_t>(q) * 16];
            const float x0 = margin + v[0] * scale, y0 = margin + n * line_height + v[1] * scale;
            const float x1 = margin + v[8] * scale, y1 = margin + n * line_height + v[9] * scale;
            for (auto y = static_cast<std::int64_t>(std::floor(y0));
                 y < static_cast<std::int64_t>(std::ceil(y1)); ++y) {
                for (auto x = static_cast<std::int64_t>(std::floor(x0));
                     x < static_cast<std::int64_t>(std::ceil(x1)); ++x) {
                    if (x < 0 || y < 0 || x >= width || y >= height) {
                        continue;
                    }
                    auto* pixel =
                        &rgba[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4];
                    pixel[0] = 40;
                    pixel[1] = 44;
                    pixel[2] = 52;
                }
            }
        }
    }
    return fit_rgba(std::move(rgba), width, height, max_side);
}

}  // namespace thumbnail::detail
