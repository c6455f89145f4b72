// Synthetic scans for the PDF benchmarks: A4 at 300 dpi, white paper, dark lines of text, a little noise.
#pragma once

#include <cstdint>
#include <vector>

namespace presswick::bench {

inline constexpr std::uint32_t k_a4_width = 2480;
inline constexpr std::uint32_t k_a4_height = 3508;

// One page's RGB bytes; the same for the same seed.
[[nodiscard]] std::vector<std::uint8_t> scan_page(std::uint32_t seed);

}  // namespace presswick::bench
