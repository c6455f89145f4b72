#include "png_rows.h"

#include <zlib.h>

#include <cmath>
#include <string>

namespace os_actions::printing::png {

namespace {
std::unexpected<std::string> failure(const char* text) {
    return std::unexpected(std::string(text));
}
void no_flush(png_structp) {}
}  // namespace

RowEncoder::RowEncoder(Sink sink) : m_sink(std::move(sink)) {
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    m_info = m_png ? png_create_info_struct(m_png) : nullptr;
}

RowEncoder::~RowEncoder() {
    png_destroy_write_struct(&m_png, &m_info);
}

void RowEncoder::append(png_structp png, png_bytep data, png_size_t length) {
    auto* self = static_cast<RowEncoder*>(png_get_io_ptr(png));
    if (!self->m_sink(data, length)) {
        png_error(png, "the encoded page could not be passed on");
    }
}

Result<void> RowEncoder::begin(const Header& header) {
    if (!m_info) {
        return failure("Out of memory encoding the scanned image");
    }
    if (header.width == 0 || header.height == 0 || header.width > PNG_USER_WIDTH_MAX ||
        header.height > PNG_USER_HEIGHT_MAX) {
        return failure("The scanned image has an invalid size");
    }
    m_row_bytes = header.bit_depth == 1 ? (std::size_t{header.width} + 7) / 8
                                        : std::size_t{header.width} * header.channels;
    if (setjmp(png_jmpbuf(m_png))) {
        return failure("Could not encode the scanned image as PNG");
    }
    png_set_write_fn(m_png, this, append, no_flush);
    // A scan is written once and kept as it is: a fast level costs a little size and saves most of the time.
    png_set_compression_level(m_png, Z_BEST_SPEED);
    png_set_filter(m_png, PNG_FILTER_TYPE_BASE, header.bit_depth == 1 ? PNG_FILTER_NONE : PNG_FILTER_UP);
    png_set_IHDR(m_png, m_info, header.width, header.height, header.bit_depth,
                 header.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (header.dpi > 0) {
        const auto per_metre = static_cast<png_uint_32>(std::lround(header.dpi / 0.0254));
        png_set_pHYs(m_png, m_info, per_metre, per_metre, PNG_RESOLUTION_METER);
    }
    png_write_info(m_png, m_info);
    return {};
}

Result<void> RowEncoder::write_row(const std::uint8_t* row) {
    if (setjmp(png_jmpbuf(m_png))) {
        return failure("Could not encode the scanned image as PNG");
    }
    png_write_row(m_png, row);
    return {};
}

Result<void> RowEncoder::finish() {
    if (setjmp(png_jmpbuf(m_png))) {
        return failure("Could not encode the scanned image as PNG");
    }
    png_write_end(m_png, m_info);
    return {};
}

}  // namespace os_actions::printing::png
