#include "ocr/image_file.h"

#include <stb_image.h>

#include <climits>
#include <memory>

namespace ocr {

namespace {

std::string failure_reason() {
    const char* reason = stbi_failure_reason();
    return reason != nullptr ? reason : "unknown image format";
}

bool fits_decoder(std::span<const std::uint8_t> bytes) {
    return bytes.size() <= static_cast<std::size_t>(INT_MAX);
}

}  // namespace

std::expected<ImageSize, std::string> image_size(std::span<const std::uint8_t> bytes) {
    if (!fits_decoder(bytes)) {
        return std::unexpected(std::string("the file is too large to decode"));
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) ==
        0) {
        return std::unexpected(failure_reason());
    }
    return ImageSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

std::expected<DecodedImage, std::string> decode_image(std::span<const std::uint8_t> bytes) {
    if (!fits_decoder(bytes)) {
        return std::unexpected(std::string("the file is too large to decode"));
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 0),
        &stbi_image_free);
    if (!pixels || channels < 1 || channels > 4) {
        return std::unexpected(failure_reason());
    }
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                             static_cast<std::size_t>(channels);
    return DecodedImage{std::vector<std::uint8_t>(pixels.get(), pixels.get() + size),
                        static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                        static_cast<PixelLayout>(channels)};
}

}  // namespace ocr
