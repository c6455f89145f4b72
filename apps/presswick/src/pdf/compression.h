// Image compression for the writer: zlib format (RFC 1950) at level 6 through libdeflate, and the
// parallel pass that compresses every page exactly once.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "pdf/buffer.h"

namespace presswick::pdf {

inline constexpr int k_compression_level = 6;

// The whole input as one zlib stream; an empty buffer when the compressor fails.
[[nodiscard]] Buffer zlib_compress(std::span<const std::uint8_t> input);

// result[i] is zlib_compress(inputs[i]). Work is shared by up to `threads` threads, the caller's own
// included (0 counts as 1); each input is compressed once, and the result does not depend on `threads`.
[[nodiscard]] std::vector<Buffer> zlib_compress_all(std::span<const std::span<const std::uint8_t>> inputs,
                                                    unsigned threads);

// The bytes of input i, which the maker may build in `scratch`: one buffer per thread, reused from
// one input to the next, so that made inputs never all exist at once.
using InputMaker =
    std::function<std::span<const std::uint8_t>(std::size_t i, std::vector<std::uint8_t>& scratch)>;

// result[i] is zlib_compress(input(i, ..)) for i below count, shared out as zlib_compress_all does.
[[nodiscard]] std::vector<Buffer> zlib_compress_each(std::size_t count, unsigned threads,
                                                     const InputMaker& input);

}  // namespace presswick::pdf
