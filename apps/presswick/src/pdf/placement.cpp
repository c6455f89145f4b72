#include "pdf/placement.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace presswick::pdf {

Placement placement_for(std::uint32_t width, std::uint32_t height) {
    const double w = width;
    const double h = height;
    const double scale = std::min(559.0 / w, 806.0 / h);
    Placement p;
    p.sw = scale * w;
    p.sh = scale * h;
    p.x = (595.0 - p.sw) * 0.5;
    p.y = (842.0 - p.sh) * 0.5;
    return p;
}

std::string format_real(double value) {
    // Fixed notation without a precision is the shortest form that round-trips; the largest finite
    // double needs 309 digits before the point, the smallest some 1075 after it.
    std::array<char, 1100> text{};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc{}) {
        return "0";
    }
    return std::string(text.data(), end);
}

std::string format_integer(std::uint64_t value) {
    std::array<char, 24> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    (void)error;  // 24 characters hold every 64-bit value
    return std::string(text.data(), end);
}

}  // namespace presswick::pdf
