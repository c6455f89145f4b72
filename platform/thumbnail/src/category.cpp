// What kind of document a path holds: its first bytes decide, its extension when they cannot be read.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <optional>

#include "internal.h"

namespace thumbnail {

namespace {

bool starts_with(const std::vector<std::uint8_t>& bytes, std::string_view magic) {
    return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

std::optional<Category> from_magic(const std::vector<std::uint8_t>& head) {
    if (head.empty()) {
        return std::nullopt;
    }
    if (starts_with(head, "%PDF-")) {
        return Category::pdf;
    }
    if (starts_with(head, "\x89PNG\r\n\x1a\n") || starts_with(head, "\xff\xd8\xff") ||
        starts_with(head, "GIF87a") || starts_with(head, "GIF89a") || starts_with(head, "BM")) {
        return Category::image;
    }
    return std::nullopt;
}

Category from_extension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::ranges::transform(ext, ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static constexpr std::array<std::string_view, 9> images{".png", ".jpg", ".jpeg", ".gif", ".bmp",
                                                            ".tga", ".ppm", ".pgm",  ".pnm"};
    static constexpr std::array<std::string_view, 6> texts{".txt", ".text", ".md", ".csv", ".log", ".conf"};
    if (ext == ".pdf") {
        return Category::pdf;
    }
    if (std::ranges::find(images, ext) != images.end()) {
        return Category::image;
    }
    if (std::ranges::find(texts, ext) != texts.end()) {
        return Category::text;
    }
    return Category::other;
}

}  // namespace

Category category_for_path(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        if (auto head = detail::read_file(path, 16)) {
            if (auto magic = from_magic(*head)) {
                return *magic;
            }
        }
    }
    return from_extension(path);
}

}  // namespace thumbnail
