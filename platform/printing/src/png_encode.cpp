#include "png_encode.h"

#include <png.h>

#include <cmath>
#include <memory>
#include <vector>

namespace os_actions::printing::png {

namespace {
void append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void flush(png_structp) {}
}  // namespace

Result<Bytes> encode(const Image& image) {
    const std::size_t row_bytes =
        image.bit_depth == 1 ? (std::size_t{image.width} + 7) / 8 : std::size_t{image.width} * image.channels;
    if (image.width == 0 || image.height == 0 || image.width > PNG_USER_WIDTH_MAX ||
        image.height > PNG_USER_HEIGHT_MAX || image.stride < row_bytes ||
        image.pixels.size() / image.stride < image.height) {
        return std::unexpected(std::string("The scanned image has an invalid size"));
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::unexpected(std::string("Out of memory encoding the scanned image"));
    }
    struct Guard {
        png_structp* png;
        png_infop* info;
        ~Guard() { png_destroy_write_struct(png, info); }
    } guard{&png, &info};

    auto out = std::make_shared<std::vector<std::uint8_t>>();
    out->reserve(row_bytes * image.height / 4 + 1024);
    if (setjmp(png_jmpbuf(png))) {
        return std::unexpected(std::string("Could not encode the scanned image as PNG"));
    }
    png_set_write_fn(png, out.get(), append, flush);
    png_set_IHDR(png, info, image.width, image.height, image.bit_depth,
                 image.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.dpi > 0) {
        const auto per_metre = static_cast<png_uint_32>(std::lround(image.dpi / 0.0254));
        png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        png_write_row(png, image.pixels.data() + std::size_t{y} * image.stride);
    }
    png_write_end(png, info);
    return Bytes(std::move(out));
}

}  // namespace os_actions::printing::png
