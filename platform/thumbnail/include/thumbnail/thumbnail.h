// The platform thumbnail service: a small RGBA picture of a page of a document (the first by default).
// PDF through poppler, images through the image decoder, plain text drawn as a page.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace thumbnail {

enum class Category : std::uint8_t { pdf, image, text, other };

struct Image {
    std::shared_ptr<const std::vector<std::uint8_t>> rgba;  // width * height * 4 bytes, row-major
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pages = 0;  // the document's page count: 1 for an image, 0 when unknown (plain text)
};

// From the file's first bytes when it can be read (magic numbers), else from its extension.
[[nodiscard]] Category category_for_path(const std::filesystem::path& path);

// Page `page` (counted from 0; an image and a text file have only page 0), scaled so that its longer
// side is at most `max_side` (never enlarged beyond it). A file of category `other`, an unreadable or
// broken file, one too large to decode, or a page it does not have is a failure.
[[nodiscard]] std::expected<Image, std::string> generate(const std::filesystem::path& path, Category category,
                                                         std::uint32_t max_side, std::uint32_t page = 0);

namespace category {
using thumbnail::category_for_path;
}

}  // namespace thumbnail
