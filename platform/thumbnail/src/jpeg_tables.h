// A check the image decoder's JPEG reader lacks: a Huffman table may name at most 256 codes. The
// decoder builds its tables from the counts unchecked, writing past them (and on into its other state)
// when a crafted file's counts add up to more.
#pragma once

#include <cstdint>
#include <span>

namespace thumbnail::detail {

// False when `bytes` is a JPEG (it begins with the start-of-image marker) with a Huffman table
// segment whose code counts add up to more than 256, or that runs past its segment; true otherwise,
// also for anything that is not a JPEG.
[[nodiscard]] bool jpeg_tables_sound(std::span<const std::uint8_t> bytes);

}  // namespace thumbnail::detail
