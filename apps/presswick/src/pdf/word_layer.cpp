#include "pdf/word_layer.h"

#include <algorithm>
#include <cmath>

#include "pdf/pdf_text.h"

namespace presswick::pdf {
namespace {

// Helvetica's advance widths of the WinAnsi codes 32 to 255 (the standard font metrics).
constexpr std::uint16_t k_widths[224] = {
    278, 278, 355, 556, 556, 889,  667,  191,  333, 333, 389,  584, 278, 333,  278,  278, 556, 556, 556,
    556, 556, 556, 556, 556, 556,  556,  278,  278, 584, 584,  584, 556, 1015, 667,  667, 722, 722, 667,
    611, 778, 722, 278, 500, 667,  556,  833,  722, 778, 667,  778, 722, 667,  611,  722, 667, 944, 667,
    667, 611, 278, 278, 278, 469,  556,  333,  556, 556, 500,  556, 556, 278,  556,  556, 222, 222, 500,
    222, 833, 556, 556, 556, 556,  333,  500,  278, 556, 500,  722, 500, 500,  500,  334, 260, 334, 584,
    350, 556, 350, 222, 556, 333,  1000, 556,  556, 333, 1000, 667, 333, 1000, 350,  611, 350, 350, 222,
    222, 333, 333, 350, 556, 1000, 333,  1000, 500, 333, 944,  350, 500, 667,  278,  333, 556, 556, 556,
    556, 260, 556, 333, 737, 370,  556,  584,  333, 737, 333,  400, 584, 333,  333,  333, 556, 537, 278,
    333, 333, 365, 556, 834, 834,  834,  611,  667, 667, 667,  667, 667, 667,  1000, 722, 667, 667, 667,
    667, 278, 278, 278, 278, 722,  722,  778,  778, 778, 778,  778, 584, 778,  722,  722, 722, 722, 667,
    667, 611, 556, 556, 556, 556,  556,  556,  889, 500, 556,  556, 556, 556,  278,  278, 278, 278, 556,
    556, 556, 556, 556, 556, 556,  584,  611,  556, 556, 556,  556, 500, 556,  500,
};

// Helvetica reaches 0.718 of the size above the baseline and 0.207 below it; viewers box a word so.
constexpr double k_ascent = 0.718;
constexpr double k_descent = 0.207;

// Two decimals are far finer than a pixel of any scan and keep the stream short.
std::string number(double value) {
    const double rounded = std::round(value * 100.0) / 100.0;
    return format_real(rounded == 0.0 ? 0.0 : rounded);
}

}  // namespace

std::uint32_t helvetica_width(std::string_view winansi) {
    std::uint32_t total = 0;
    for (const char c : winansi) {
        const auto code = static_cast<unsigned char>(c);
        total += code >= 32 ? k_widths[code - 32] : 0;
    }
    return total;
}

std::string word_layer(std::span<const PdfWord> words, std::uint32_t width, std::uint32_t height,
                       const Placement& placement) {
    if (width == 0 || height == 0) {
        return {};
    }
    const double scale = placement.sw / width;
    std::string out;
    for (std::size_t first = 0; first < words.size();) {
        std::size_t end = first + 1;
        while (end < words.size() && words[end].line == words[first].line) {
            ++end;
        }
        // One line: its height sets the size, its lowest edge the baseline.
        std::uint32_t top = height;
        std::uint32_t bottom = 0;
        for (std::size_t i = first; i < end; ++i) {
            top = std::min(top, words[i].top);
            bottom = std::max(bottom, words[i].top + words[i].height);
        }
        const double size = bottom > top ? (bottom - top) * scale / (k_ascent + k_descent) : 0.0;
        const double baseline =
            placement.y + (static_cast<double>(height) - bottom) * scale + k_descent * size;
        bool sized = false;
        for (std::size_t i = first; i < end; ++i) {
            const PdfWord& word = words[i];
            const std::string bytes = to_winansi_complete(word.text);
            const std::uint32_t natural = helvetica_width(bytes);
            if (bytes.empty() || natural == 0 || size <= 0.0 || word.width == 0) {
                continue;
            }
            if (out.empty()) {
                out = "BT 3 Tr\n";
            }
            if (!sized) {
                out += "/F1 " + number(size) + " Tf\n";
                sized = true;
            }
            const double stretch = 100.0 * (word.width * scale) / (natural * size / 1000.0);
            // A space after every word but a line's last, so copied text keeps its words apart.
            const bool spaced = i + 1 < end;
            out += number(stretch) + " Tz 1 0 0 1 " + number(placement.x + word.left * scale) + " " +
                   number(baseline) + " Tm (" + escape_literal(bytes) + (spaced ? " " : "") + ") Tj\n";
        }
        first = end;
    }
    if (!out.empty()) {
        out += "ET\n";
    }
    return out;
}

}  // namespace presswick::pdf
