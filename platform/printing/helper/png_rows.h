// PNG encoding row by row (libpng), so that a page streams out of the scan helper as its rows arrive.
#pragma once

#include <png.h>

#include <cstdint>
#include <functional>

#include "printing/printing.h"

namespace os_actions::printing::png {

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t channels = 1;   // 1 grey, 3 RGB
    std::uint8_t bit_depth = 8;  // 8, or 1 for grey where a set bit is white (PNG's sense)
    std::uint32_t dpi = 0;       // written as pHYs when known
};

// Receives the encoded bytes as they come; false when they could not be passed on.
using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

class RowEncoder {
  public:
    explicit RowEncoder(Sink sink);
    ~RowEncoder();
    RowEncoder(const RowEncoder&) = delete;
    RowEncoder& operator=(const RowEncoder&) = delete;

    [[nodiscard]] Result<void> begin(const Header& header);
    // One row of row_bytes() bytes.
    [[nodiscard]] Result<void> write_row(const std::uint8_t* row);
    [[nodiscard]] Result<void> finish();

    [[nodiscard]] std::size_t row_bytes() const { return m_row_bytes; }

  private:
    static void append(png_structp png, png_bytep data, png_size_t length);

    Sink m_sink;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::size_t m_row_bytes = 0;
};

}  // namespace os_actions::printing::png
