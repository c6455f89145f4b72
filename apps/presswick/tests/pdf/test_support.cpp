#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>

namespace presswick::pdf::testing {

std::string as_text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> object_bodies(const std::string& file) {
    std::vector<std::string> bodies;
    const std::size_t startxref = file.rfind("startxref\n");
    if (startxref == std::string::npos) {
        ADD_FAILURE() << "no startxref";
        return bodies;
    }
    const std::size_t xref = std::stoull(file.substr(startxref + 10));
    if (file.compare(xref, 7, "xref\n0 ") != 0) {
        ADD_FAILURE() << "startxref does not point at the xref table";
        return bodies;
    }
    const std::size_t count_end = file.find('\n', xref + 7);
    const std::size_t size = std::stoull(file.substr(xref + 7, count_end - xref - 7));
    const std::size_t entries = count_end + 1;
    EXPECT_EQ(file.substr(entries, 20), "0000000000 65535 f \n");
    for (std::size_t n = 1; n < size; ++n) {
        const std::string entry = file.substr(entries + 20 * n, 20);
        EXPECT_EQ(entry.substr(10), " 00000 n \n") << "entry " << n;
        const std::size_t offset = std::stoull(entry.substr(0, 10));
        const std::string opening = std::to_string(n) + " 0 obj\n";
        EXPECT_EQ(file.substr(offset, opening.size()), opening) << "object " << n;
        const std::size_t start = offset + opening.size();
        const std::size_t next = n + 1 < size ? std::stoull(file.substr(entries + 20 * (n + 1), 10)) : xref;
        std::string body = file.substr(start, next - start);
        EXPECT_TRUE(body.ends_with("\nendobj\n")) << "object " << n;
        body.resize(body.size() >= 8 ? body.size() - 8 : 0);
        bodies.push_back(body);
    }
    return bodies;
}

std::string stream_data(const std::string& body) {
    const std::size_t start = body.find(">>\nstream\n");
    const std::size_t end = body.rfind("\nendstream");
    if (start == std::string::npos || end == std::string::npos || end < start + 10) {
        return {};
    }
    return body.substr(start + 10, end - start - 10);
}

std::optional<std::vector<std::uint8_t>> inflate(std::string_view data, std::size_t expected_size) {
    std::vector<std::uint8_t> out(expected_size + 1);
    uLongf out_size = out.size();
    const int status =
        uncompress(out.data(), &out_size, reinterpret_cast<const Bytef*>(data.data()), data.size());
    if (status != Z_OK) {
        return std::nullopt;
    }
    out.resize(out_size);
    return out;
}

std::vector<std::uint8_t> synthetic_page(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3, 0xFF);
    std::uint32_t state = seed * 2654435761u + 1;
    auto random = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const std::uint32_t line = std::max<std::uint32_t>(height / 40, 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        const bool in_line = (y / line) % 2 == 1 && y % line < line * 2 / 3;
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel = &rgb[(std::size_t{y} * width + x) * 3];
            if (in_line && x > width / 12 && x < width - width / 12 && (x / 9 + y / line) % 7 != 0) {
                pixel[0] = pixel[1] = pixel[2] = 0x20;
            }
            if (random() % 64 == 0) {
                pixel[random() % 3] ^= static_cast<std::uint8_t>(random() & 0x1F);
            }
        }
    }
    return rgb;
}

}  // namespace presswick::pdf::testing
