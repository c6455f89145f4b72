// Where a page image goes on the A4 page, and how the writer spells numbers.
#pragma once

#include <cstdint>
#include <string>

namespace presswick::pdf {

// The image's rectangle in points: scaled to touch the 559 x 806 box 18 points inside A4, centred.
struct Placement {
    double sw = 0;
    double sh = 0;
    double x = 0;
    double y = 0;
};

// width and height must not be 0.
[[nodiscard]] Placement placement_for(std::uint32_t width, std::uint32_t height);

// The shortest decimal text that reads back as the same double, positional: 559, 141.5, 0.000000806.
[[nodiscard]] std::string format_real(double value);
// Plain decimal, no sign, no leading zeros.
[[nodiscard]] std::string format_integer(std::uint64_t value);

}  // namespace presswick::pdf
