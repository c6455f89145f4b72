#include "scan/page_editing.h"
#include "kora_ui/translate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "scan/page_image.h"

namespace presswick::scan {

namespace {

constexpr double kMinimumSpan = kora_ui::CropSelection::kMinimumSpan;
constexpr double kMaximumStart = 1.0 - kMinimumSpan;

bool pixels_complete(const ScannedPage& page) {
    return page.pixels && page.pixels->size() >= std::size_t{page.width} * page.height * 4;
}

std::uint32_t to_u32(double value) {
    if (!(value > 0)) {
        return 0;
    }
    return value >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(value);
}

std::uint32_t difference(std::uint32_t a, std::uint32_t b) {
    return a > b ? a - b : 0;
}

// Both edits end the same way: the new image and its PNG become the page, the old text is gone.
std::expected<void, std::string> replace_image(ScannedPage& page,
                                               std::shared_ptr<std::vector<std::uint8_t>> pixels,
                                               std::uint32_t width, std::uint32_t height,
                                               std::string status) {
    auto png = encode_png(*pixels, width, height);
    if (!png) {
        return std::unexpected("could not update the scanned page: " + png.error());
    }
    page.pixels = std::move(pixels);
    page.width = width;
    page.height = height;
    page.encoded = page.encoded ? with_resolution_of(std::move(*png), *page.encoded) : std::move(*png);
    page.text.reset();
    page.words.reset();
    page.status = std::move(status);
    page.text_stale = true;
    page.recognizing = false;
    return {};
}

}  // namespace

PixelRect crop_rectangle(const kora_ui::CropSelection& s, std::uint32_t width, std::uint32_t height) {
    const double w = width;
    const double h = height;
    const std::uint32_t x0 = to_u32(std::floor(std::min(s.left, kMaximumStart) * w));
    const std::uint32_t y0 = to_u32(std::floor(std::min(s.top, kMaximumStart) * h));
    const std::uint32_t x1 = to_u32(std::ceil(std::min(std::max(s.right, kMinimumSpan), 1.0) * w));
    const std::uint32_t y1 = to_u32(std::ceil(std::min(std::max(s.bottom, kMinimumSpan), 1.0) * h));
    return {x0, y0, std::min(difference(width, x0), std::max(difference(x1, x0), 1u)),
            std::min(difference(height, y0), std::max(difference(y1, y0), 1u))};
}

std::expected<void, std::string> rotate_page(ScannedPage& page, bool counter_clockwise) {
    if (!pixels_complete(page)) {
        return std::unexpected(std::string(kora_ui::tr("scanned page pixels were incomplete")));
    }
    const std::uint32_t w = page.width;
    const std::uint32_t h = page.height;
    // Clockwise: source (x, y) lands at (h - 1 - y, x) in an h-wide, w-high image; counter-clockwise at
    // (y, w - 1 - x).
    auto rotated = std::make_shared<std::vector<std::uint8_t>>(std::size_t{w} * h * 4);
    const std::uint8_t* src = page.pixels->data();
    std::uint8_t* dst = rotated->data();
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::size_t row = counter_clockwise ? w - 1 - x : x;
            const std::size_t column = counter_clockwise ? y : h - 1 - y;
            std::memcpy(dst + (row * h + column) * 4, src + (std::size_t{y} * w + x) * 4, 4);
        }
    }
    return replace_image(page, std::move(rotated), h, w,
                         kora_ui::tr("Text recognition needs updating after rotation."));
}

std::expected<void, std::string> crop_page(ScannedPage& page, const kora_ui::CropSelection& selection) {
    if (selection == kora_ui::CropSelection::whole()) {
        return {};
    }
    if (!selection.valid()) {
        return std::unexpected(std::string(kora_ui::tr("crop selection was invalid")));
    }
    if (!pixels_complete(page)) {
        return std::unexpected(std::string(kora_ui::tr("scanned page pixels were incomplete")));
    }
    const PixelRect rect = crop_rectangle(selection, page.width, page.height);
    auto cropped = std::make_shared<std::vector<std::uint8_t>>(std::size_t{rect.width} * rect.height * 4);
    const std::size_t row_bytes = std::size_t{rect.width} * 4;
    for (std::uint32_t row = 0; row < rect.height; ++row) {
        const std::size_t from = ((std::size_t{rect.y} + row) * page.width + rect.x) * 4;
        std::memcpy(cropped->data() + row * row_bytes, page.pixels->data() + from, row_bytes);
    }
    return replace_image(page, std::move(cropped), rect.width, rect.height,
                         kora_ui::tr("Text recognition needs updating after cropping."));
}

}  // namespace presswick::scan
