// Reading bounded files and fitting RGBA pictures into the thumbnail size.
#include <algorithm>
#include <cmath>
#include <fstream>

#include <stb_image_resize.h>

#include "internal.h"

namespace thumbnail::detail {

std::expected<std::vector<std::uint8_t>, std::string> read_file(const std::filesystem::path& path,
                                                                std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::unexpected("cannot open the file");
    }
    // Never allocate more than the file holds (the limit may be large).
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    const std::size_t wanted =
        error ? limit : static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit));
    std::vector<std::uint8_t> bytes(wanted);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(wanted));
    if (in.bad()) {
        return std::unexpected("cannot read the file");
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

Image fit_rgba(std::vector<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height,
               std::uint32_t max_side) {
    const auto longer = std::max(width, height);
    if (longer <= max_side || max_side == 0) {
        return Image{std::make_shared<const std::vector<std::uint8_t>>(std::move(rgba)), width, height};
    }
    const double scale = static_cast<double>(max_side) / longer;
    const auto out_w = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(width * scale)));
    const auto out_h = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(height * scale)));
    std::vector<std::uint8_t> out(std::size_t{out_w} * out_h * 4);
    stbir_resize_uint8_generic(rgba.data(), static_cast<int>(width), static_cast<int>(height), 0, out.data(),
                               static_cast<int>(out_w), static_cast<int>(out_h), 0, 4, 3, 0, STBIR_EDGE_CLAMP,
                               STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
    return Image{std::make_shared<const std::vector<std::uint8_t>>(std::move(out)), out_w, out_h};
}

}  // namespace thumbnail::detail
