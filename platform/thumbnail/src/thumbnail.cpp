// generate: a page of a PDF, or an image or a text file, fitted into the thumbnail size.
#include "thumbnail/thumbnail.h"

#include <algorithm>
#include <memory>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <stb_image.h>

#include "internal.h"
#include "jpeg_tables.h"

namespace thumbnail {

namespace {

constexpr std::size_t kMaxImageBytes = 256U * 1024 * 1024;

void quiet_poppler(const std::string&, void*) {}

std::expected<Image, std::string> pdf_page(const std::filesystem::path& path, std::uint32_t max_side,
                                           std::uint32_t index) {
    poppler::set_debug_error_function(quiet_poppler, nullptr);
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path.string()));
    if (!document || document->is_locked()) {
        return std::unexpected("the PDF cannot be opened");
    }
    if (document->pages() < 1) {
        return std::unexpected("the PDF has no pages");
    }
    if (index >= static_cast<std::uint32_t>(document->pages())) {
        return std::unexpected("the PDF has no such page");
    }
    std::unique_ptr<poppler::page> page(document->create_page(static_cast<int>(index)));
    if (!page) {
        return std::unexpected("the PDF's page cannot be read");
    }
    const auto box = page->page_rect(poppler::media_box);
    const double longer_points = std::max(box.width(), box.height());
    if (!(longer_points > 0)) {
        return std::unexpected("the PDF's page has no size");
    }
    const double dpi = 72.0 * max_side / longer_points;
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing |
                              poppler::page_renderer::text_antialiasing);
    renderer.set_paper_color(0xffffffff);
    const poppler::image rendered = renderer.render_page(page.get(), dpi, dpi);
    if (!rendered.is_valid() || rendered.format() != poppler::image::format_argb32) {
        return std::unexpected("the PDF's page cannot be drawn");
    }
    const auto width = static_cast<std::uint32_t>(rendered.width());
    const auto height = static_cast<std::uint32_t>(rendered.height());
    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4);
    const char* data = rendered.const_data();
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(data + static_cast<std::size_t>(y) *
                                                                           rendered.bytes_per_row());
        auto* out = &rgba[std::size_t{y} * width * 4];
        for (std::uint32_t x = 0; x < width; ++x) {
            // ARGB32 in native (little-endian) order: B, G, R, A; the paper is opaque.
            out[x * 4 + 0] = row[x * 4 + 2];
            out[x * 4 + 1] = row[x * 4 + 1];
            out[x * 4 + 2] = row[x * 4 + 0];
            out[x * 4 + 3] = 255;
        }
    }
    // Rounding (or a rotated page) may leave a pixel too many.
    auto image = detail::fit_rgba(std::move(rgba), width, height, max_side);
    image.pages = static_cast<std::uint32_t>(document->pages());
    return image;
}

std::expected<Image, std::string> decoded_image(const std::filesystem::path& path, std::uint32_t max_side) {
    auto bytes = detail::read_file(path, kMaxImageBytes + 1);
    if (!bytes) {
        return std::unexpected(bytes.error());
    }
    if (bytes->size() > kMaxImageBytes) {
        return std::unexpected("the image file is too large");
    }
    if (!detail::jpeg_tables_sound(*bytes)) {
        return std::unexpected("the image cannot be read");
    }
    int width = 0, height = 0, channels = 0;
    const auto size = static_cast<int>(bytes->size());
    if (stbi_info_from_memory(bytes->data(), size, &width, &height, &channels) == 0) {
        return std::unexpected("the image cannot be read");
    }
    if (width <= 0 || height <= 0 || static_cast<std::uint32_t>(width) > detail::kMaxSourceSide ||
        static_cast<std::uint32_t>(height) > detail::kMaxSourceSide ||
        std::uint64_t(width) * std::uint64_t(height) > detail::kMaxSourcePixels) {
        return std::unexpected("the image is too large");
    }
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes->data(), size, &width, &height, &channels, 4), stbi_image_free);
    if (!pixels) {
        return std::unexpected("the image cannot be decoded");
    }
    std::vector<std::uint8_t> rgba(pixels.get(), pixels.get() + std::size_t(width) * height * 4);
    auto image = detail::fit_rgba(std::move(rgba), static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height), max_side);
    image.pages = 1;
    return image;
}

}  // namespace

std::expected<Image, std::string> generate(const std::filesystem::path& path, Category category,
                                           std::uint32_t max_side, std::uint32_t page) {
    if (max_side == 0) {
        return std::unexpected("the thumbnail size is zero");
    }
    if (page > 0 && category != Category::pdf) {
        return std::unexpected("the document has one page only");
    }
    switch (category) {
        case Category::pdf:
            return pdf_page(path, max_side, page);
        case Category::image:
            return decoded_image(path, max_side);
        case Category::text: {
            auto bytes = detail::read_file(path, detail::kMaxTextBytes);
            if (!bytes) {
                return std::unexpected(bytes.error());
            }
            return detail::render_text_page(*bytes, max_side);
        }
        case Category::other:
            break;
    }
    return std::unexpected("no preview for this kind of file");
}

}  // namespace thumbnail
