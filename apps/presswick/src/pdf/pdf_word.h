// A recognised word with its box, as the scanned page keeps it and the PDF writer lays it out.
#pragma once

#include <cstdint>
#include <string>

namespace presswick::pdf {

// Its UTF-8 text and its box in the page's pixels; words of one line share `line` (its position in
// reading order).
struct PdfWord {
    std::string text;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t line = 0;
    bool operator==(const PdfWord&) const = default;
};

}  // namespace presswick::pdf
