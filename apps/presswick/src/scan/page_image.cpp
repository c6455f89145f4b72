#include "scan/page_image.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include <png.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include "ocr/large_buffer.h"
#include "scan/png_whole.h"

namespace presswick::scan {

namespace {

constexpr std::uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The state the PNG library's callbacks reach: the bytes being read and the first error's text.
struct PngSource {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    char message[128] = {};
};

void png_failed(png_structp png, png_const_charp text) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", text);
    png_longjmp(png, 1);
}

void png_warned(png_structp, png_const_charp) {}

void png_read_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->bytes.size() - source->at) {
        png_error(png, "the image data ends early");
    }
    std::memcpy(data, source->bytes.data() + source->at, length);
    source->at += length;
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    explicit PngReader(PngSource& source) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, png_failed, png_warned);
        info = png ? png_create_info_struct(png) : nullptr;
        if (info) {
            png_set_read_fn(png, &source, png_read_bytes);
        }
    }
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

// The header, with the transforms that give what the general decoder gives: 8 bits a sample, a palette
// as RGB, a transparent colour as alpha. No C++ object lives between setjmp and the library's calls.
bool read_png_header(PngReader& reader) {
    if (setjmp(png_jmpbuf(reader.png))) {
        return false;
    }
    png_set_user_limits(reader.png, max_decoded_side, max_decoded_side);
    // Every chunk's CRC is still checked, so a damaged stream is still refused; the stream's own checksum
    // would read the whole page once more.
    (void)png_set_option(reader.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(reader.png, reader.info);
    png_set_expand(reader.png);
    png_set_strip_16(reader.png);
    (void)png_set_interlace_handling(reader.png);
    png_read_update_info(reader.png, reader.info);
    return true;
}

bool read_png_rows(PngReader& reader, png_bytepp rows) {
    if (setjmp(png_jmpbuf(reader.png))) {
        return false;
    }
    png_read_image(reader.png, rows);
    return true;
}

// PNG through the PNG library: the scan service sends PNG, and the library's inflate is several times
// faster than the general decoder's on a whole page.
std::expected<DecodedImage, std::string> decode_png(std::span<const std::uint8_t> bytes) {
    // The declared size straight from the header, before the library allocates anything.
    const auto be32_at = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
               std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    };
    if (bytes.size() >= 24 && !page_size_allowed(be32_at(16), be32_at(20))) {
        return std::unexpected(std::string("the scanned image is too large"));
    }
    // The usual page in one inflate, several times faster than the library's row by row; the library
    // for every other layout.
    if (auto whole = png_whole::decode(bytes)) {
        return std::move(*whole);
    }
    PngSource source{bytes};
    PngReader reader(source);
    if (!reader.info) {
        return std::unexpected(std::string("the scanned image could not be read: out of memory"));
    }
    if (!read_png_header(reader)) {
        return std::unexpected(std::string("the scanned image could not be read: ") + source.message);
    }
    const png_uint_32 width = png_get_image_width(reader.png, reader.info);
    const png_uint_32 height = png_get_image_height(reader.png, reader.info);
    const unsigned channels = png_get_channels(reader.png, reader.info);
    if (!page_size_allowed(width, height)) {
        return std::unexpected(std::string("the scanned image is too large"));
    }
    const std::size_t stride = std::size_t{width} * channels;
    if (channels < 1 || channels > 4 || png_get_bit_depth(reader.png, reader.info) != 8 ||
        png_get_rowbytes(reader.png, reader.info) != stride) {
        return std::unexpected(std::string("the scanned image has an unusable layout"));
    }
    std::shared_ptr<std::uint8_t[]> samples(new (std::nothrow) std::uint8_t[stride * height]);
    if (!samples) {
        return std::unexpected(std::string("the scanned image could not be decoded: out of memory"));
    }
    ocr::advise_huge_pages(samples.get(), stride * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = samples.get() + stride * y;
    }
    if (!read_png_rows(reader, rows.data())) {
        return std::unexpected(std::string("the scanned image could not be decoded: ") + source.message);
    }
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.channels = static_cast<std::uint8_t>(channels);
    image.data = std::shared_ptr<const std::uint8_t>(samples, samples.get());
    return image;
}

}  // namespace

std::expected<DecodedImage, std::string> decode_page_image(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 8 && std::equal(png_signature, png_signature + 8, bytes.begin())) {
        return decode_png(bytes);
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::unexpected(std::string("the scanned image is empty or too long"));
    }
    const auto length = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    // Network scanners send these bytes: read the declared size first, so a forged header cannot
    // make the decoder allocate gigabytes.
    if (stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) == 0) {
        return std::unexpected(std::string("the scanned image could not be read: ") + stbi_failure_reason());
    }
    if (width <= 0 || height <= 0 ||
        !page_size_allowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
        return std::unexpected(std::string("the scanned image is too large"));
    }
    std::shared_ptr<const std::uint8_t> data(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 0),
        [](const std::uint8_t* samples) { stbi_image_free(const_cast<std::uint8_t*>(samples)); });
    if (!data) {
        return std::unexpected(std::string("the scanned image could not be decoded: ") +
                               stbi_failure_reason());
    }
    if (channels < 1 || channels > 4 || width <= 0 || height <= 0 ||
        !page_size_allowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
        return std::unexpected(std::string("the scanned image has an unusable layout"));
    }
    DecodedImage image;
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.channels = static_cast<std::uint8_t>(channels);
    image.data = std::move(data);
    return image;
}

// One loop per layout, the layout known at compile time: the vectoriser widens each to whole rows of
// pixels (a 600-dpi colour page is 100 MB of RGBA; the per-pixel switch cost more than the decode).
#pragma GCC push_options
#pragma GCC optimize("tree-vectorize")
namespace {

template <unsigned channels>
void expand_to_rgba(const std::uint8_t* __restrict in, std::uint8_t* __restrict rgba, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = in + i * channels;
        std::uint8_t* q = rgba + i * 4;
        q[0] = p[0];
        q[1] = channels >= 3 ? p[1] : p[0];
        q[2] = channels >= 3 ? p[2] : p[0];
        q[3] = channels == 2 ? p[1] : channels == 4 ? p[3] : std::uint8_t{255};
    }
}

}  // namespace

Bytes to_rgba(const DecodedImage& image) {
    const std::size_t pixels = std::size_t{image.width} * image.height;
    if (image.rgba && image.channels == 4 && image.rgba->size() == pixels * 4) {
        return image.rgba;
    }
    auto out = std::make_shared<std::vector<std::uint8_t>>();
    out->reserve(pixels * 4);
    ocr::advise_huge_pages(out->data(), pixels * 4);
    const std::uint8_t* in = image.data.get();
    // Grown a slice at a time, so the vector's zero fill lands in the cache the expansion then overwrites.
    constexpr std::size_t slice = 16'384;
    for (std::size_t done = 0; done < pixels; done += slice) {
        const std::size_t count = std::min(slice, pixels - done);
        out->resize((done + count) * 4);
        std::uint8_t* rgba = out->data() + done * 4;
        const std::uint8_t* from = in + done * image.channels;
        switch (image.channels) {
            case 1:
                expand_to_rgba<1>(from, rgba, count);
                break;
            case 2:
                expand_to_rgba<2>(from, rgba, count);
                break;
            case 3:
                expand_to_rgba<3>(from, rgba, count);
                break;
            default:
                expand_to_rgba<4>(from, rgba, count);
                break;
        }
    }
    return out;
}
#pragma GCC pop_options

std::expected<Bytes, std::string> encode_png(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                             std::uint32_t height) {
    if (rgba.size() < std::size_t{width} * height * 4) {
        return std::unexpected(std::string("the image pixels are incomplete"));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    // First pass measures, second pass writes: the library's own in-memory writer, default settings.
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) == 0) {
        std::string message = image.message;
        png_image_free(&image);
        return std::unexpected(message);
    }
    auto out = std::make_shared<std::vector<std::uint8_t>>(size);
    if (png_image_write_to_memory(&image, out->data(), &size, 0, rgba.data(), 0, nullptr) == 0) {
        std::string message = image.message;
        png_image_free(&image);
        return std::unexpected(message);
    }
    out->resize(size);
    return Bytes(std::move(out));
}

std::expected<Bytes, std::string> encode_jpeg(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                              std::uint32_t height, int quality) {
    if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) {
        return std::unexpected(std::string("the image pixels are incomplete"));
    }
    // The format stores each side in 16 bits.
    if (width > 65'535 || height > 65'535) {
        return std::unexpected(std::string("the page is too large for a JPEG file"));
    }
    auto out = std::make_shared<std::vector<std::uint8_t>>();
    const auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* begin = static_cast<const std::uint8_t*>(data);
        bytes->insert(bytes->end(), begin, begin + size);
    };
    if (stbi_write_jpg_to_func(append, out.get(), static_cast<int>(width), static_cast<int>(height), 4,
                               rgba.data(), quality) == 0) {
        return std::unexpected(std::string("the JPEG encoder failed"));
    }
    return Bytes(std::move(out));
}

namespace {

std::uint32_t be32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

bool is_png(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 33 && std::equal(png_signature, png_signature + 8, bytes.begin());
}

// The whole pHYs chunk (length, type, data, CRC as stored) before the image data, or nothing.
std::span<const std::uint8_t> resolution_chunk(std::span<const std::uint8_t> png) {
    if (!is_png(png)) {
        return {};
    }
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = be32(png, at);
        if (length > png.size() - at - 12) {
            break;
        }
        const std::string_view type(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        if (type == "pHYs" && length == 9) {
            return png.subspan(at, 21);
        }
        if (type == "IDAT") {
            break;
        }
        at += 12 + std::size_t{length};
    }
    return {};
}

}  // namespace

Bytes with_resolution_of(Bytes png, std::span<const std::uint8_t> original) {
    const auto chunk = resolution_chunk(original);
    if (!png || chunk.empty() || !is_png(*png) || be32(*png, 8) != 13 || !resolution_chunk(*png).empty()) {
        return png;
    }
    // Right after IHDR (8 bytes of signature, 25 of IHDR), where it precedes the image data.
    auto out = std::make_shared<std::vector<std::uint8_t>>();
    out->reserve(png->size() + chunk.size());
    out->insert(out->end(), png->begin(), png->begin() + 33);
    out->insert(out->end(), chunk.begin(), chunk.end());
    out->insert(out->end(), png->begin() + 33, png->end());
    return Bytes(std::move(out));
}

}  // namespace presswick::scan
