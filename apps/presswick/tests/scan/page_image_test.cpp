// Decoding the scanner's bytes: any decodable format, the size limits before decoding, bad bytes.
#include <gtest/gtest.h>

#include "scan/page_image.h"
#include "scan_support.h"

namespace presswick::scan {
namespace {

using scan_test::pattern_png;
using scan_test::pattern_rgba;

// A PNG whose header claims another size; the decoder must refuse it before reading any pixel.
std::vector<std::uint8_t> png_claiming(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes = *pattern_png(4, 4);
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
        }
    };
    put(16, width);  // IHDR data follows the 8-byte signature and the chunk's length and type
    put(20, height);
    return bytes;
}

TEST(PageImage, DecodesAPngToRgba) {
    auto decoded = decode_page_image(*pattern_png(7, 5));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 7u);
    EXPECT_EQ(decoded->height, 5u);
    EXPECT_EQ(*to_rgba(*decoded), pattern_rgba(7, 5));
}

TEST(PageImage, GreyImagesBecomeOpaqueRgba) {
    DecodedImage grey;
    auto samples = std::make_shared<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{0, 128, 255});
    grey.data = std::shared_ptr<const std::uint8_t>(samples, samples->data());
    grey.width = 3;
    grey.height = 1;
    grey.channels = 1;
    EXPECT_EQ(*to_rgba(grey),
              (std::vector<std::uint8_t>{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}));
}

TEST(PageImage, DecodingHasItsOwnSizeLimitsBeyondRecognition) {
    EXPECT_TRUE(page_size_allowed(7016, 9921)) << "A3 at 600 dpi";
    EXPECT_TRUE(page_size_allowed(10001, 1));
    EXPECT_TRUE(page_size_allowed(12500, 20000));
    EXPECT_FALSE(page_size_allowed(12500, 20001));
    EXPECT_FALSE(page_size_allowed(40001, 1));
    EXPECT_FALSE(page_size_allowed(1, 40001));
    EXPECT_FALSE(page_size_allowed(0, 10));
}

TEST(PageImage, DeclaredSizeOverTheLimitIsRefusedBeforeDecoding) {
    for (auto [w, h] :
         {std::pair{40001u, 1u}, std::pair{16000u, 16000u}, std::pair{0x7fffffffu, 0x7fffffffu}}) {
        auto decoded = decode_page_image(png_claiming(w, h));
        ASSERT_FALSE(decoded.has_value()) << w << "x" << h;
    }
    EXPECT_EQ(decode_page_image(png_claiming(16000, 16000)).error(), "the scanned image is too large");
}

TEST(PageImage, CorruptOrEmptyBytesFail) {
    EXPECT_FALSE(decode_page_image({}).has_value());
    const std::vector<std::uint8_t> junk{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_FALSE(decode_page_image(junk).has_value());
    std::vector<std::uint8_t> truncated = *pattern_png(64, 64);
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(decode_page_image(truncated).has_value());
}

TEST(PageImage, EncodeRefusesShortPixels) {
    std::vector<std::uint8_t> short_pixels(10);
    EXPECT_FALSE(encode_png(short_pixels, 2, 2).has_value());
}

}  // namespace
}  // namespace presswick::scan
