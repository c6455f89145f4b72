#include "page_scan.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "png_rows.h"
#include "sane_failure.h"

namespace os_actions::printing::helper {

namespace {

using helper_frames::Kind;

constexpr std::size_t max_image_bytes = std::size_t{1} << 30;  // 1 GiB of raw samples
constexpr SANE_Int max_pixels_per_line = 1 << 17;
constexpr std::size_t read_chunk = 64 * 1024;

std::size_t channels_of(const SANE_Parameters& p) {
    return p.format == SANE_FRAME_RGB ? 3 : 1;
}

// Begins the PNG and tells the service how large it can grow: every row with its filter byte, and
// deflate's worst case on top (stored blocks, 5 bytes in 16 KiB), plus the chunks around it.
Result<void> begin_page(png::RowEncoder& encoder, const png::Header& header, FrameWriter& out) {
    if (auto ok = encoder.begin(header); !ok) {
        return ok;
    }
    const std::uint64_t rows = std::uint64_t{header.height} * (encoder.row_bytes() + 1);
    out.size_hint(rows + rows / 1024 + 64 * 1024);
    return {};
}

Result<void> check_parameters(const SANE_Parameters& p) {
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) {
        return failure("The scanner sends " + std::to_string(p.depth) +
                       "-bit samples, which are not supported");
    }
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_RED &&
        p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE) {
        return failure("The scanner sends an unsupported frame format");
    }
    if (p.pixels_per_line <= 0 || p.pixels_per_line > max_pixels_per_line || p.bytes_per_line <= 0 ||
        p.lines < -1 || p.lines == 0) {
        return failure("The scanner reports an invalid image size");
    }
    const std::size_t needed =
        (static_cast<std::size_t>(p.pixels_per_line) * channels_of(p) * p.depth + 7) / 8;
    if (static_cast<std::size_t>(p.bytes_per_line) < needed) {
        return failure("The scanner reports fewer bytes per line than its pixels need");
    }
    if (p.lines > 0 &&
        static_cast<std::size_t>(p.lines) > max_image_bytes / static_cast<std::size_t>(p.bytes_per_line)) {
        return failure("The scanned image would be too large");
    }
    return {};
}

Result<SANE_Parameters> start_frame(SANE_Handle handle, FrameWriter& out) {
    out.step(Kind::starting);
    if (const auto status = sane_start(handle); status != SANE_STATUS_GOOD) {
        if (status == SANE_STATUS_NO_DOCS) {
            return failure(std::string(no_sheet_left));
        }
        return failure("Could not start scanning", status);
    }
    // Parameters are exact only once the frame has started.
    SANE_Parameters p{};
    if (const auto status = sane_get_parameters(handle, &p); status != SANE_STATUS_GOOD) {
        return failure("Could not read the scan parameters", status);
    }
    if (auto ok = check_parameters(p); !ok) {
        return std::unexpected(ok.error());
    }
    return p;
}

// Reads the frame to its end and hands every complete row (bytes_per_line bytes) to on_row, at most
// `lines` of them when the scanner announced a count. Answers the number of rows handed on.
Result<std::size_t> read_rows(SANE_Handle handle, const SANE_Parameters& p, FrameWriter& out,
                              const std::function<Result<void>(const std::uint8_t*)>& on_row) {
    const auto bpl = static_cast<std::size_t>(p.bytes_per_line);
    const std::size_t wanted = p.lines > 0 ? static_cast<std::size_t>(p.lines) : max_image_bytes / bpl;
    std::vector<std::uint8_t> chunk(std::max(read_chunk, bpl));
    std::vector<std::uint8_t> row(bpl);
    std::size_t filled = 0;
    std::size_t rows = 0;
    std::size_t total = 0;
    for (;;) {
        out.step(Kind::reading);
        SANE_Int length = 0;
        const auto status = sane_read(handle, chunk.data(), static_cast<SANE_Int>(chunk.size()), &length);
        if (status == SANE_STATUS_EOF) {
            return rows;
        }
        if (status != SANE_STATUS_GOOD) {
            return failure("Scanning failed", status);
        }
        if (length < 0 || static_cast<std::size_t>(length) > chunk.size()) {
            return failure("The scanner sent more than it was asked for");
        }
        total += static_cast<std::size_t>(length);
        if (total > max_image_bytes) {
            return failure("The scanned image is too large");
        }
        const std::uint8_t* at = chunk.data();
        std::size_t left = static_cast<std::size_t>(length);
        while (left > 0 && rows < wanted) {
            if (filled == 0 && left >= bpl) {
                // Whole rows straight from the chunk, without a copy.
                if (auto ok = on_row(at); !ok) {
                    return std::unexpected(ok.error());
                }
                at += bpl;
                left -= bpl;
                ++rows;
                continue;
            }
            const std::size_t take = std::min(left, bpl - filled);
            std::memcpy(row.data() + filled, at, take);
            filled += take;
            at += take;
            left -= take;
            if (filled == bpl) {
                if (auto ok = on_row(row.data()); !ok) {
                    return std::unexpected(ok.error());
                }
                filled = 0;
                ++rows;
            }
        }
    }
}

// Samples of a row as 8-bit values: 16-bit samples come in host order (the high byte is kept), and in
// one-bit rows a set bit is black.
void to_8bit(const std::uint8_t* row, int depth, std::size_t samples, std::uint8_t* out) {
    if (depth == 8) {
        std::memcpy(out, row, samples);
    } else if (depth == 16) {
        for (std::size_t i = 0; i < samples; ++i) {
            std::uint16_t v;
            std::memcpy(&v, row + i * 2, 2);
            out[i] = static_cast<std::uint8_t>(v >> 8);
        }
    } else {
        for (std::size_t i = 0; i < samples; ++i) {
            out[i] = (row[i / 8] & (0x80 >> (i % 8))) ? 0 : 255;
        }
    }
}

// Grey or RGB in one frame. Line art stays one bit per pixel, inverted to PNG's sense.
Result<void> single_pass(SANE_Handle handle, const SANE_Parameters& p, SANE_Word dpi, FrameWriter& out) {
    const auto width = static_cast<std::uint32_t>(p.pixels_per_line);
    const bool line_art = p.format == SANE_FRAME_GRAY && p.depth == 1;
    png::Header header{.width = width,
                       .height = 0,
                       .channels = static_cast<std::uint8_t>(channels_of(p)),
                       .bit_depth = static_cast<std::uint8_t>(line_art ? 1 : 8),
                       .dpi = static_cast<std::uint32_t>(std::max<SANE_Word>(dpi, 0))};
    png::RowEncoder encoder([&out](const std::uint8_t* data, std::size_t size) {
        out.data(data, size);
        return true;
    });
    const std::size_t row_bytes =
        line_art ? (std::size_t{width} + 7) / 8 : std::size_t{width} * header.channels;
    std::vector<std::uint8_t> converted(row_bytes);
    const auto convert = [&](const std::uint8_t* raw) -> const std::uint8_t* {
        if (line_art) {
            for (std::size_t x = 0; x < row_bytes; ++x) {
                converted[x] = static_cast<std::uint8_t>(~raw[x]);
            }
            return converted.data();
        }
        if (p.depth == 8) {
            return raw;
        }
        to_8bit(raw, p.depth, row_bytes, converted.data());
        return converted.data();
    };

    std::vector<std::uint8_t> held;  // only when the page length is unknown until its end
    std::size_t rows = 0;
    if (p.lines > 0) {
        header.height = static_cast<std::uint32_t>(p.lines);
        if (auto ok = begin_page(encoder, header, out); !ok) {
            return ok;
        }
        auto read = read_rows(handle, p, out,
                              [&](const std::uint8_t* raw) { return encoder.write_row(convert(raw)); });
        if (!read) {
            return std::unexpected(read.error());
        }
        rows = *read;
    } else {
        auto read = read_rows(handle, p, out, [&](const std::uint8_t* raw) {
            const auto* row = convert(raw);
            held.insert(held.end(), row, row + row_bytes);
            return Result<void>{};
        });
        if (!read) {
            return std::unexpected(read.error());
        }
        rows = *read;
        header.height = static_cast<std::uint32_t>(rows);
        if (rows > 0) {
            if (auto ok = begin_page(encoder, header, out); !ok) {
                return ok;
            }
            for (std::size_t y = 0; y < rows; ++y) {
                if (auto ok = encoder.write_row(held.data() + y * row_bytes); !ok) {
                    return ok;
                }
            }
        }
    }
    if (rows == 0) {
        return failure("The scanner sent no image lines");
    }
    // A page that ended early keeps its announced size, with white below what arrived.
    const std::vector<std::uint8_t> white(row_bytes, 255);
    for (std::size_t y = rows; y < header.height; ++y) {
        if (auto ok = encoder.write_row(white.data()); !ok) {
            return ok;
        }
    }
    if (!p.last_frame) {
        return failure("The scanner sent more frames than one page has");
    }
    return encoder.finish();
}

// Three-pass colour: one frame per colour, in whatever order the backend sends them.
Result<void> three_pass(SANE_Handle handle, SANE_Parameters p, SANE_Word dpi, FrameWriter& out) {
    const auto width = static_cast<std::size_t>(p.pixels_per_line);
    std::vector<std::uint8_t> planes[3];
    std::size_t lines[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    for (int frame = 0;; ++frame) {
        const int channel = p.format == SANE_FRAME_RED     ? 0
                            : p.format == SANE_FRAME_GREEN ? 1
                            : p.format == SANE_FRAME_BLUE  ? 2
                                                           : -1;
        if (channel < 0 || seen[channel] || static_cast<std::size_t>(p.pixels_per_line) != width) {
            return failure("The scanner sent colour frames that do not fit together");
        }
        seen[channel] = true;
        auto& plane = planes[channel];
        auto read = read_rows(handle, p, out, [&](const std::uint8_t* raw) {
            plane.resize(plane.size() + width);
            to_8bit(raw, p.depth, width, plane.data() + plane.size() - width);
            return Result<void>{};
        });
        if (!read) {
            return std::unexpected(read.error());
        }
        lines[channel] = *read;
        if (p.last_frame) {
            break;
        }
        if (frame >= 2) {
            return failure("The scanner sent more frames than one page has");
        }
        auto next = start_frame(handle, out);
        if (!next) {
            return std::unexpected(next.error());
        }
        p = *next;
    }
    if (!seen[0] || !seen[1] || !seen[2]) {
        return failure("The scanner did not send all three colour frames");
    }
    const std::size_t height = std::min({lines[0], lines[1], lines[2]});
    if (height == 0) {
        return failure("The scanner sent no image lines");
    }
    png::RowEncoder encoder([&out](const std::uint8_t* data, std::size_t size) {
        out.data(data, size);
        return true;
    });
    if (auto ok = begin_page(encoder,
                             {.width = static_cast<std::uint32_t>(width),
                              .height = static_cast<std::uint32_t>(height),
                              .channels = 3,
                              .bit_depth = 8,
                              .dpi = static_cast<std::uint32_t>(std::max<SANE_Word>(dpi, 0))},
                             out);
        !ok) {
        return ok;
    }
    std::vector<std::uint8_t> row(width * 3);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t c = 0; c < 3; ++c) {
            const auto* in = planes[c].data() + y * width;
            for (std::size_t x = 0; x < width; ++x) {
                row[x * 3 + c] = in[x];
            }
        }
        if (auto ok = encoder.write_row(row.data()); !ok) {
            return ok;
        }
    }
    return encoder.finish();
}

}  // namespace

Result<void> scan_page(SANE_Handle handle, SANE_Word dpi, FrameWriter& out) {
    auto p = start_frame(handle, out);
    if (!p) {
        return std::unexpected(p.error());
    }
    if (p->format == SANE_FRAME_GRAY || p->format == SANE_FRAME_RGB) {
        return single_pass(handle, *p, dpi, out);
    }
    return three_pass(handle, *p, dpi, out);
}

}  // namespace os_actions::printing::helper
