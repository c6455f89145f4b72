#include "pdf/compression.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "base/owned.h"

namespace presswick::pdf {
namespace {

using Compressor = base::Owned<libdeflate_compressor, libdeflate_free_compressor>;

Compressor new_compressor() {
    return Compressor(libdeflate_alloc_compressor(k_compression_level));
}

Buffer compress_with(libdeflate_compressor* compressor, std::span<const std::uint8_t> input) {
    if (compressor == nullptr) {
        return {};
    }
    // The bound guarantees success; only the bytes actually written ever become resident.
    Buffer output = Buffer::with_capacity(libdeflate_zlib_compress_bound(compressor, input.size()));
    const std::size_t written =
        libdeflate_zlib_compress(compressor, input.data(), input.size(), output.data(), output.capacity());
    if (written == 0) {
        return {};
    }
    output.set_size(written);
    return output;
}

}  // namespace

Buffer zlib_compress(std::span<const std::uint8_t> input) {
    const Compressor compressor = new_compressor();
    return compress_with(compressor.get(), input);
}

std::vector<Buffer> zlib_compress_all(std::span<const std::span<const std::uint8_t>> inputs,
                                      unsigned threads) {
    return zlib_compress_each(inputs.size(), threads,
                              [inputs](std::size_t i, std::vector<std::uint8_t>&) { return inputs[i]; });
}

std::vector<Buffer> zlib_compress_each(std::size_t count, unsigned threads, const InputMaker& input) {
    std::vector<Buffer> results(count);
    std::atomic<std::size_t> next{0};
    // Each worker takes the next input not yet taken, so every input is compressed exactly once and
    // lands in its own slot; the bytes of a slot depend only on its input.
    auto work = [&] {
        const Compressor compressor = new_compressor();
        std::vector<std::uint8_t> scratch;
        for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            results[i] = compress_with(compressor.get(), input(i, scratch));
        }
    };

    const std::size_t wanted = std::min<std::size_t>(std::max(threads, 1u), count);
    const std::size_t helpers = wanted > 0 ? wanted - 1 : 0;
    std::vector<std::jthread> pool;
    pool.reserve(helpers);
    for (std::size_t k = 0; k < helpers; ++k) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer helpers; the caller's thread does the rest
        }
    }
    work();
    pool.clear();  // joins: every slot is written before the results leave
    return results;
}

}  // namespace presswick::pdf
