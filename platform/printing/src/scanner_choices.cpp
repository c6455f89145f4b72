// Scanner option values to set for what the user chose: mode, source and resolution.
#include <algorithm>
#include <cmath>

#include "parse_text.h"
#include "parsing.h"

namespace os_actions::printing::detail {

std::optional<std::string> choose_mode(const std::vector<std::string>& modes, ScanColourMode colour_mode) {
    // Exact usual names first, then words found inside the backend's names.
    static const std::vector<std::vector<std::string_view>> exact = {
        {"color", "colour", "rgb", "24bit color"},
        {"gray", "grey", "grayscale", "greyscale", "8bit gray"},
        {"lineart", "line art", "binary", "text", "black & white", "black and white", "bw", "halftone"}};
    static const std::vector<std::vector<std::string_view>> words = {
        {"color", "colour", "rgb"}, {"gray", "grey"}, {"lineart", "line art", "binary", "text", "black"}};
    const auto mode_number = static_cast<std::size_t>(colour_mode);  // a number from outside may be any
    const std::size_t which = mode_number > 2 ? 0 : mode_number;
    for (const auto name : exact[which]) {
        for (const auto& mode : modes) {
            if (lower(mode) == name) {
                return mode;
            }
        }
    }
    // Grey and colour mean true tones: "Gray[Error Diffusion]" or "Color Lineart" only when nothing else
    // has the word.
    const auto screened = [](const std::string& mode) {
        return contains(mode, "diffusion") || contains(mode, "dither") || contains(mode, "halftone") ||
               contains(mode, "lineart");
    };
    for (const bool allow_screened : {which == 2, true}) {
        for (const auto word : words[which]) {
            for (const auto& mode : modes) {
                if (contains(mode, word) && (allow_screened || !screened(mode))) {
                    return mode;
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> choose_source(const std::vector<std::string>& sources, ScanSource source) {
    auto find = [&](auto&& accept) -> std::optional<std::string> {
        for (const auto& s : sources) {
            if (accept(s)) {
                return s;
            }
        }
        return std::nullopt;
    };
    const auto is_duplex = [](const std::string& s) {
        return contains(s, "duplex") || contains(s, "two-sided") || contains(s, "double");
    };
    const auto is_feeder = [&](const std::string& s) {
        return !is_duplex(s) && (contains(s, "adf") || contains(s, "feeder") || contains(s, "document feed"));
    };
    switch (source) {
        case ScanSource::flatbed:
            return find([](const std::string& s) { return contains(s, "flatbed") || contains(s, "platen"); });
        case ScanSource::feeder:
            return find(is_feeder);
        case ScanSource::two_sided:
            return find(is_duplex);
        default:
            return std::nullopt;
    }
}

double nearest_in_list(const std::vector<double>& allowed, double wanted) {
    if (allowed.empty()) {
        return wanted;
    }
    return *std::ranges::min_element(allowed, {}, [&](double v) { return std::fabs(v - wanted); });
}

double nearest_in_range(double min, double max, double quant, double wanted) {
    if (max < min) {
        std::swap(min, max);
    }
    double value = std::clamp(wanted, min, max);
    if (quant > 0) {
        value = min + std::round((value - min) / quant) * quant;
        if (value > max) {
            value -= quant;
        }
    }
    return value;
}

}  // namespace os_actions::printing::detail
