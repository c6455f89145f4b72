#include "scan/page_image.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include <png.h>
#include <stb_image.h>
#include <stb_image_write.h>

namespace presswick::scan {

std::expected<DecodedImage, std::string> decode_page_image(std::span<const std::uint8_t> bytes) {
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

Bytes to_rgba(const DecodedImage& image) {
    const std::size_t pixels = std::size_t{image.width} * image.height;
    auto out = std::make_shared<std::vector<std::uint8_t>>(pixels * 4);
    const std::uint8_t* in = image.data.get();
    std::uint8_t* rgba = out->data();
    const unsigned channels = image.channels;
    for (std::size_t i = 0; i < pixels; ++i, in += channels, rgba += 4) {
        switch (channels) {
            case 1:
                rgba[0] = rgba[1] = rgba[2] = in[0];
                rgba[3] = 255;
                break;
            case 2:
                rgba[0] = rgba[1] = rgba[2] = in[0];
                rgba[3] = in[1];
                break;
            case 3:
                rgba[0] = in[0];
                rgba[1] = in[1];
                rgba[2] = in[2];
                rgba[3] = 255;
                break;
            default:
                rgba[0] = in[0];
                rgba[1] = in[1];
                rgba[2] = in[2];
                rgba[3] = in[3];
                break;
        }
    }
    return out;
}

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

constexpr std::uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

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
