// Decoding the scanner's bytes: any decodable format, the size limits before decoding, bad bytes.
#include <gtest/gtest.h>
#include <png.h>
#include <stb_image.h>

#include <cstring>
#include <span>

#include <libdeflate.h>

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

// A PNG of any layout the format has, written row by row.
std::vector<std::uint8_t> png_of(std::uint32_t width, std::uint32_t height, int depth, int colour,
                                 const std::vector<std::uint8_t>& packed, bool transparent = false,
                                 int filters = PNG_ALL_FILTERS) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, depth, colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (depth == 8) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    }
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        const png_color palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 200, 40}, {250, 250, 250}};
        png_set_PLTE(png, info, palette, 4);
    }
    if (transparent) {
        png_color_16 key{};
        key.gray = 0;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    const std::size_t stride = packed.size() / height;
    for (std::uint32_t y = 0; y < height; ++y) {
        png_write_row(png, packed.data() + stride * y);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Each file decodes to what the general decoder gives, in the layout expected.
void check_against_general_decoder(const std::vector<std::vector<std::uint8_t>>& files,
                                   std::span<const int> expected_channels) {
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto decoded = decode_page_image(files[k]);
        ASSERT_TRUE(decoded.has_value()) << k << ": " << decoded.error();
        int x = 0;
        int y = 0;
        int n = 0;
        const int channels = expected_channels[k];
        std::uint8_t* general =
            stbi_load_from_memory(files[k].data(), static_cast<int>(files[k].size()), &x, &y, &n, channels);
        ASSERT_NE(general, nullptr) << k;
        const std::vector<std::uint8_t> want(general, general + std::size_t(x) * y * channels);
        stbi_image_free(general);
        ASSERT_EQ(decoded->channels, channels) << k;
        EXPECT_EQ(std::vector<std::uint8_t>(decoded->samples().begin(), decoded->samples().end()), want) << k;
        if (decoded->rgba) {
            EXPECT_EQ(to_rgba(*decoded).get(), decoded->rgba.get()) << k << ": the page keeps the buffer";
        }
    }
}

// The scan service's PNG goes through the PNG library; every layout must come out as the general decoder
// gives it: 1-bit and 16-bit grey, a palette, a transparent grey, colour with alpha.
TEST(PageImage, PngOfEveryLayoutDecodesAsTheGeneralDecoderDoes) {
    const std::uint32_t w = 19;
    const std::uint32_t h = 7;
    std::vector<std::uint8_t> bits((w + 7) / 8 * h);
    std::vector<std::uint8_t> deep(w * h * 2);
    std::vector<std::uint8_t> indexed(w * h);
    std::vector<std::uint8_t> grey(w * h);
    std::vector<std::uint8_t> colour(w * h * 4);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = static_cast<std::uint8_t>(i * 73 + 5);
    }
    for (std::size_t i = 0; i < deep.size(); ++i) {
        deep[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    for (std::size_t i = 0; i < indexed.size(); ++i) {
        indexed[i] = static_cast<std::uint8_t>(i % 4);
        grey[i] = static_cast<std::uint8_t>(i * 13 % 5);
    }
    for (std::size_t i = 0; i < colour.size(); ++i) {
        colour[i] = static_cast<std::uint8_t>(i * 17 + 3);
    }
    const std::vector<std::vector<std::uint8_t>> files{
        png_of(w, h, 1, PNG_COLOR_TYPE_GRAY, bits), png_of(w, h, 16, PNG_COLOR_TYPE_GRAY, deep),
        png_of(w, h, 8, PNG_COLOR_TYPE_PALETTE, indexed), png_of(w, h, 8, PNG_COLOR_TYPE_GRAY, grey, true),
        png_of(w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, colour)};
    const int expected_channels[] = {1, 1, 3, 2, 4};
    check_against_general_decoder(files, expected_channels);
    // A damaged chunk is refused, not decoded into something else.
    std::vector<std::uint8_t> damaged = png_of(w, h, 8, PNG_COLOR_TYPE_GRAY, grey);
    damaged[damaged.size() - 20] ^= 0x40;
    const auto refused = decode_page_image(damaged);
    ASSERT_FALSE(refused.has_value());
    EXPECT_NE(refused.error().find("could not be"), std::string::npos) << refused.error();
}

// The layouts the scan service sends are inflated in one piece: each row filter undone as the library
// would, the image data split over many chunks, colour written as RGBA at once, and a damaged stream or
// a short one refused.
TEST(PageImage, ScanLayoutsDecodeAsTheGeneralDecoderDoes) {
    const std::uint32_t w = 301;
    const std::uint32_t h = 97;  // far more than one 8 KiB data chunk
    std::vector<std::uint8_t> colour(w * h * 3);
    std::vector<std::uint8_t> grey(w * h);
    std::vector<std::uint8_t> grey_alpha(w * h * 2);
    std::vector<std::uint8_t> bits((w + 7) / 8 * h);
    for (std::size_t i = 0; i < colour.size(); ++i) {
        colour[i] = static_cast<std::uint8_t>((i % 7) * 40 + i / (w * 3) * 3 + (i * 2654435761U >> 28));
    }
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<std::uint8_t>(i % w + i / w * 5);
        grey_alpha[2 * i] = grey[i];
        grey_alpha[2 * i + 1] = static_cast<std::uint8_t>(i * 11);
    }
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = static_cast<std::uint8_t>(i * 37 + i / 39);
    }
    std::vector<std::vector<std::uint8_t>> files;
    std::vector<int> channels;
    for (const int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                             PNG_ALL_FILTERS}) {
        files.push_back(png_of(w, h, 8, PNG_COLOR_TYPE_RGB, colour, false, filter));
        channels.push_back(4);  // colour comes as the page's RGBA
        files.push_back(png_of(w, h, 8, PNG_COLOR_TYPE_GRAY, grey, false, filter));
        channels.push_back(1);
    }
    files.push_back(png_of(w, h, 8, PNG_COLOR_TYPE_GRAY_ALPHA, grey_alpha));
    channels.push_back(2);
    files.push_back(png_of(w, h, 1, PNG_COLOR_TYPE_GRAY, bits));
    channels.push_back(1);
    check_against_general_decoder(files, channels);

    const std::vector<std::uint8_t>& page = files[4];
    std::vector<std::uint8_t> cut(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(page.size() / 2));
    EXPECT_FALSE(decode_page_image(cut).has_value());
    // Rows missing from a stream that is whole in itself: too short, though every chunk is intact.
    std::vector<std::uint8_t> fewer = png_of(w, h - 1, 8, PNG_COLOR_TYPE_RGB, colour);
    fewer[23] = static_cast<std::uint8_t>(h);
    const std::uint32_t header_crc = libdeflate_crc32(0, fewer.data() + 12, 17);
    for (int i = 0; i < 4; ++i) {
        fewer[29 + i] = static_cast<std::uint8_t>(header_crc >> (24 - 8 * i));
    }
    const auto short_rows = decode_page_image(fewer);
    ASSERT_FALSE(short_rows.has_value());
    EXPECT_NE(short_rows.error().find("could not be"), std::string::npos) << short_rows.error();

    // A damaged comment beside intact image data is passed over, as it always was.
    std::vector<std::uint8_t> commented = files[1];
    const std::uint8_t comment[] = {0, 0, 0, 4, 't', 'E', 'X', 't', 'a', 0, 'b', 'c', 1, 2, 3, 4};
    commented.insert(commented.begin() + 33, std::begin(comment), std::end(comment));
    const auto passed_over = decode_page_image(commented);
    ASSERT_TRUE(passed_over.has_value()) << passed_over.error();
    EXPECT_EQ(std::vector<std::uint8_t>(passed_over->samples().begin(), passed_over->samples().end()), grey);
}

TEST(PageImage, EncodeRefusesShortPixels) {
    std::vector<std::uint8_t> short_pixels(10);
    EXPECT_FALSE(encode_png(short_pixels, 2, 2).has_value());
}

}  // namespace
}  // namespace presswick::scan
