#include "scan/png_whole.h"

#include <libdeflate.h>

#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "ocr/large_buffer.h"

namespace presswick::scan::png_whole {

namespace {

std::uint32_t be32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::unexpected<std::string> damaged(std::string_view why) {
    return std::unexpected("the scanned image could not be decoded: " + std::string(why));
}

std::uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

}  // namespace

// Each filter a loop of its own over the row, which the vectoriser widens where it can (up, none).
#pragma GCC push_options
#pragma GCC optimize("tree-vectorize")
namespace {

// Undoes the row's filter: `in` as stored, `prior` the row above once unfiltered (zeros for the first),
// `bpp` the bytes of a whole pixel (at least 1).
bool unfilter(std::uint8_t type, const std::uint8_t* __restrict in, const std::uint8_t* __restrict prior,
              std::uint8_t* __restrict out, std::size_t size, std::size_t bpp) {
    switch (type) {
        case 0:
            std::memcpy(out, in, size);
            return true;
        case 1:
            for (std::size_t i = 0; i < size; ++i) {
                out[i] = static_cast<std::uint8_t>(in[i] + (i >= bpp ? out[i - bpp] : 0));
            }
            return true;
        case 2:
            for (std::size_t i = 0; i < size; ++i) {
                out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
            }
            return true;
        case 3:
            for (std::size_t i = 0; i < size; ++i) {
                const unsigned left = i >= bpp ? out[i - bpp] : 0;
                out[i] = static_cast<std::uint8_t>(in[i] + ((left + prior[i]) >> 1));
            }
            return true;
        case 4:
            for (std::size_t i = 0; i < size; ++i) {
                const int left = i >= bpp ? out[i - bpp] : 0;
                const int corner = i >= bpp ? prior[i - bpp] : 0;
                out[i] = static_cast<std::uint8_t>(in[i] + paeth(left, prior[i], corner));
            }
            return true;
        default:
            return false;
    }
}

// Eight grey bytes for each packed byte, the most significant bit first.
const std::array<std::uint64_t, 256>& spread_bits() {
    static const std::array<std::uint64_t, 256> table = [] {
        std::array<std::uint64_t, 256> all{};
        for (std::size_t v = 0; v < all.size(); ++v) {
            std::uint8_t grey[8];
            for (std::size_t bit = 0; bit < 8; ++bit) {
                grey[bit] = (v >> (7 - bit) & 1) != 0 ? 255 : 0;
            }
            std::memcpy(&all[v], grey, 8);
        }
        return all;
    }();
    return table;
}

void bits_to_grey(const std::uint8_t* __restrict packed, std::uint8_t* __restrict grey, std::size_t width) {
    const auto& table = spread_bits();
    const std::size_t whole = width / 8;
    for (std::size_t i = 0; i < whole; ++i) {
        std::memcpy(grey + i * 8, &table[packed[i]], 8);
    }
    for (std::size_t x = whole * 8; x < width; ++x) {
        grey[x] = (packed[x / 8] >> (7 - x % 8) & 1) != 0 ? 255 : 0;
    }
}

// RGB to opaque RGBA four bytes at a time: each pixel read as a word with the next pixel's red on top,
// which the alpha replaces (the last pixel of the row is read byte by byte, so nothing past it is read).
void rgb_to_rgba(const std::uint8_t* __restrict in, std::uint8_t* __restrict rgba, std::size_t pixels) {
    if (pixels == 0) {
        return;
    }
    for (std::size_t i = 0; i + 1 < pixels; ++i) {
        std::uint32_t word = 0;
        std::memcpy(&word, in + i * 3, 4);
        word = std::endian::native == std::endian::little ? word | 0xff00'0000U : word | 0xffU;
        std::memcpy(rgba + i * 4, &word, 4);
    }
    const std::size_t last = pixels - 1;
    rgba[last * 4] = in[last * 3];
    rgba[last * 4 + 1] = in[last * 3 + 1];
    rgba[last * 4 + 2] = in[last * 3 + 2];
    rgba[last * 4 + 3] = 255;
}

}  // namespace
#pragma GCC pop_options

std::optional<std::expected<DecodedImage, std::string>> decode(std::span<const std::uint8_t> bytes) {
    // Signature (8), then IHDR: length 13, type, width, height, depth, colour, method, filter, interlace,
    // CRC.
    if (bytes.size() < 8 + 25 || be32(bytes, 8) != 13 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
        return std::nullopt;
    }
    const std::uint32_t width = be32(bytes, 16);
    const std::uint32_t height = be32(bytes, 20);
    const std::uint8_t depth = bytes[24];
    const std::uint8_t colour = bytes[25];
    const unsigned channels = colour == 0 ? 1 : colour == 4 ? 2 : colour == 2 ? 3 : colour == 6 ? 4 : 0;
    const bool line_art = colour == 0 && depth == 1;
    if (channels == 0 || (depth != 8 && !line_art) || bytes[26] != 0 || bytes[27] != 0 || bytes[28] != 0) {
        return std::nullopt;
    }
    if (!page_size_allowed(width, height)) {
        return std::unexpected(std::string("the scanned image is too large"));
    }
    // Every chunk's CRC; the image data gathered into one stream.
    std::vector<std::span<const std::uint8_t>> parts;
    std::size_t stream_size = 0;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (bytes.size() - at < 12) {
            return damaged("the image data ends early");
        }
        const std::uint32_t length = be32(bytes, at);
        if (length > bytes.size() - at - 12) {
            return damaged("the image data ends early");
        }
        const auto typed = bytes.subspan(at + 4, std::size_t{length} + 4);
        const std::string_view type(reinterpret_cast<const char*>(typed.data()), 4);
        if (libdeflate_crc32(0, typed.data(), typed.size()) != be32(bytes, at + 8 + length)) {
            // A damaged ancillary chunk (lower-case first letter) is the library's to judge, as before.
            if ((type[0] & 0x20) != 0) {
                return std::nullopt;
            }
            return damaged("a chunk's checksum does not match");
        }
        if (type == "tRNS") {
            return std::nullopt;  // a transparent colour becomes alpha: the general path does that
        }
        if (type == "IDAT") {
            parts.push_back(typed.subspan(4));
            stream_size += length;
        }
        ended = type == "IEND";
        at += 12 + std::size_t{length};
    }
    if (parts.empty()) {
        return damaged("the image has no data");
    }
    std::vector<std::uint8_t> joined;
    std::span<const std::uint8_t> stream = parts.front();
    if (parts.size() > 1) {
        joined.reserve(stream_size);
        for (const auto part : parts) {
            joined.insert(joined.end(), part.begin(), part.end());
        }
        stream = joined;
    }
    const std::size_t row_bytes = line_art ? (std::size_t{width} + 7) / 8 : std::size_t{width} * channels;
    const std::size_t filtered_size = (row_bytes + 1) * height;
    std::unique_ptr<std::uint8_t[]> filtered(new (std::nothrow) std::uint8_t[filtered_size]);
    // Colour straight into the page's RGBA buffer, which the page then keeps: no copy of the file's layout.
    const bool colour_page = channels >= 3;
    const std::size_t stride = std::size_t{width} * (colour_page ? 4 : channels);
    std::shared_ptr<std::uint8_t[]> samples;
    std::shared_ptr<std::vector<std::uint8_t>> rgba;
    try {
        if (colour_page) {
            rgba = std::make_shared<std::vector<std::uint8_t>>();
            rgba->reserve(stride * height);
        } else {
            samples.reset(new std::uint8_t[stride * height]);
        }
    } catch (const std::bad_alloc&) {
        return std::unexpected(std::string("the scanned image could not be decoded: out of memory"));
    }
    if (!filtered) {
        return std::unexpected(std::string("the scanned image could not be decoded: out of memory"));
    }
    ocr::advise_huge_pages(filtered.get(), filtered_size);
    ocr::advise_huge_pages(colour_page ? rgba->data() : samples.get(), stride * height);
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (inflater == nullptr) {
        return std::unexpected(std::string("the scanned image could not be decoded: out of memory"));
    }
    // The whole stream must give exactly the rows, each with its filter byte; the checksum is checked.
    const libdeflate_result inflated = libdeflate_zlib_decompress(inflater, stream.data(), stream.size(),
                                                                  filtered.get(), filtered_size, nullptr);
    libdeflate_free_decompressor(inflater);
    if (inflated != LIBDEFLATE_SUCCESS) {
        return damaged(inflated == LIBDEFLATE_SHORT_OUTPUT         ? "the image data is too short"
                       : inflated == LIBDEFLATE_INSUFFICIENT_SPACE ? "the image data is too long"
                                                                   : "the image data is damaged");
    }
    const std::size_t bpp = line_art ? 1 : channels;
    std::vector<std::uint8_t> zeros(row_bytes, 0);
    // Rows unfiltered in the file's layout; where the page's layout differs, in two rows of their own.
    const bool own_rows = line_art || colour_page;
    std::vector<std::uint8_t> unfiltered[2];
    if (own_rows) {
        unfiltered[0].resize(row_bytes);
        unfiltered[1].resize(row_bytes);
    }
    const std::uint8_t* prior = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* in = filtered.get() + y * (row_bytes + 1);
        std::uint8_t* row = own_rows ? unfiltered[y % 2].data() : samples.get() + y * stride;
        if (!unfilter(in[0], in + 1, prior, row, row_bytes, bpp)) {
            return damaged("a row has an unknown filter");
        }
        if (line_art) {
            bits_to_grey(row, samples.get() + y * stride, width);
        } else if (colour_page) {
            // Grown a row at a time, so the zero fill lands in the cache the expansion then overwrites.
            rgba->resize((y + 1) * stride);
            std::uint8_t* out = rgba->data() + y * stride;
            if (channels == 3) {
                rgb_to_rgba(row, out, width);
            } else {
                std::memcpy(out, row, stride);
            }
        }
        prior = row;
    }
    DecodedImage image;
    image.width = width;
    image.height = height;
    if (colour_page) {
        image.channels = 4;
        image.data = std::shared_ptr<const std::uint8_t>(rgba, rgba->data());
        image.rgba = std::move(rgba);
    } else {
        image.channels = static_cast<std::uint8_t>(channels);
        image.data = std::shared_ptr<const std::uint8_t>(samples, samples.get());
    }
    return image;
}

}  // namespace presswick::scan::png_whole
