// Rotating and cropping a page: pixels, sizes, new keys, the status line and the flags.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "scan/page_editing.h"
#include "scan/page_image.h"
#include "scan_support.h"

namespace presswick::scan {
namespace {

using kora_ui::CropSelection;
using scan_test::pattern_page;

std::vector<std::uint8_t> decoded_pixels(const Bytes& encoded) {
    return *to_rgba(decode_page_image(*encoded).value());
}

TEST(RotatePage, QuarterTurnClockwise) {
    ScannedPage page = pattern_page(100, 200);
    page.recognizing = true;
    page.words = std::make_shared<const std::vector<RecognizedWord>>(
        std::vector<RecognizedWord>{{"word", 1, 2, 30, 10, 0}});
    const ScannedPage before = page;
    ASSERT_TRUE(rotate_page(page).has_value());
    EXPECT_EQ(page.width, 200u);
    EXPECT_EQ(page.height, 100u);
    // The source's top row becomes the right column, read from top to bottom.
    for (std::uint32_t x = 0; x < 100; ++x) {
        const std::uint8_t* src = before.pixels->data() + std::size_t{x} * 4;
        const std::uint8_t* dst = page.pixels->data() + (std::size_t{x} * 200 + 199) * 4;
        ASSERT_TRUE(std::equal(src, src + 4, dst)) << x;
    }
    EXPECT_NE(page.key(), before.key());
    EXPECT_FALSE(page.text.has_value());
    EXPECT_EQ(page.words, nullptr) << "the boxes went stale with the text";
    EXPECT_EQ(page.status, "Text recognition needs updating after rotation.");
    EXPECT_TRUE(page.text_stale);
    EXPECT_FALSE(page.recognizing);
    EXPECT_EQ(decoded_pixels(page.encoded), *page.pixels);
    // The old buffers are untouched: copies handed to workers stay valid.
    EXPECT_EQ(*before.pixels, scan_test::pattern_rgba(100, 200));
}

// A 1 x 1 grey PNG recording `per_metre` pixels per metre, as the scan service writes its pages.
Bytes png_with_resolution(std::uint32_t per_metre) {
    auto out = std::make_shared<std::vector<std::uint8_t>>();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, out.get(),
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p))
                ->insert(static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p))->end(), data,
                         data + size);
        },
        nullptr);
    png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const png_byte row[1] = {255};
    png_write_row(png, row);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The pHYs chunk's pixels per metre, read back with the PNG library; 0 when there is none.
std::uint32_t pixels_per_metre(const Bytes& encoded) {
    struct Cursor {
        const std::vector<std::uint8_t>* bytes;
        std::size_t at = 0;
    } cursor{encoded.get()};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_uint_32 x = 0, y = 0;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &cursor, [](png_structp p, png_bytep data, png_size_t size) {
            auto* c = static_cast<Cursor*>(png_get_io_ptr(p));
            if (c->at + size > c->bytes->size()) {
                png_error(p, "short");
            }
            std::copy_n(c->bytes->data() + c->at, size, data);
            c->at += size;
        });
        png_read_info(png, info);
        int unit = 0;
        png_get_pHYs(png, info, &x, &y, &unit);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return x == y ? x : 0;
}

TEST(RotatePage, RotatedAndCroppedPagesKeepTheScanResolution) {
    ScannedPage page = pattern_page(100, 200);
    page.encoded = png_with_resolution(11811);  // 300 dpi
    ASSERT_TRUE(rotate_page(page).has_value());
    EXPECT_EQ(pixels_per_metre(page.encoded), 11811u);
    EXPECT_EQ(decoded_pixels(page.encoded), *page.pixels);
    ASSERT_TRUE(crop_page(page, {0.5, 0.5, 1, 1}).has_value());
    EXPECT_EQ(pixels_per_metre(page.encoded), 11811u);
    EXPECT_EQ(decoded_pixels(page.encoded), *page.pixels);
    // A page that came without a resolution gets none.
    ScannedPage plain = pattern_page(10, 10);
    ASSERT_TRUE(rotate_page(plain).has_value());
    EXPECT_EQ(pixels_per_metre(plain.encoded), 0u);
}

TEST(RotatePage, QuarterTurnCounterClockwiseUndoesAClockwiseOne) {
    ScannedPage page = pattern_page(100, 200);
    const ScannedPage before = page;
    ASSERT_TRUE(rotate_page(page, true).has_value());
    EXPECT_EQ(page.width, 200u);
    EXPECT_EQ(page.height, 100u);
    // The source's top row becomes the left column, read from bottom to top.
    for (std::uint32_t x = 0; x < 100; ++x) {
        const std::uint8_t* src = before.pixels->data() + std::size_t{x} * 4;
        const std::uint8_t* dst = page.pixels->data() + std::size_t{99 - x} * 200 * 4;
        ASSERT_TRUE(std::equal(src, src + 4, dst)) << x;
    }
    EXPECT_NE(page.key(), before.key());
    EXPECT_FALSE(page.text.has_value());
    EXPECT_EQ(page.status, "Text recognition needs updating after rotation.");
    EXPECT_TRUE(page.text_stale);
    ASSERT_TRUE(rotate_page(page).has_value());
    EXPECT_EQ(*page.pixels, *before.pixels);
    EXPECT_EQ(page.width, 100u);
}

TEST(RotatePage, FourTurnsGiveBackThePixels) {
    ScannedPage page = pattern_page(100, 200);
    const auto original = *page.pixels;
    for (int turn = 0; turn < 4; ++turn) {
        ASSERT_TRUE(rotate_page(page).has_value());
    }
    EXPECT_EQ(page.width, 100u);
    EXPECT_EQ(page.height, 200u);
    EXPECT_EQ(*page.pixels, original);
    EXPECT_FALSE(page.text.has_value());
    EXPECT_EQ(page.words, nullptr) << "the boxes went stale with the text";
    EXPECT_EQ(page.status, "Text recognition needs updating after rotation.");
}

TEST(RotatePage, IncompletePixelsLeaveThePageAlone) {
    ScannedPage page = pattern_page(10, 10);
    page.height = 11;
    const PageKey key = page.key();
    EXPECT_EQ(rotate_page(page).error(), "scanned page pixels were incomplete");
    EXPECT_EQ(page.key(), key);
    EXPECT_EQ(page.text, "scanned words");
    EXPECT_FALSE(page.text_stale);
}

TEST(CropSelection, Validity) {
    EXPECT_TRUE((kora_ui::CropSelection{0, 0, 1, 1}.valid()));
    EXPECT_TRUE((kora_ui::CropSelection{0.95, 0.95, 1, 1}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{0.5, 0.5, 0.52, 0.9}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{-0.01, 0, 1, 1}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{0, 0, 1.01, 1}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{0, 0, 1, 1.01}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{0, 0.5, 1, 0.52}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{std::nan(""), 0, 1, 1}.valid()));
    EXPECT_FALSE((kora_ui::CropSelection{0, 0, std::numeric_limits<double>::infinity(), 1}.valid()));
}

TEST(CropRectangle, BottomRightCornerOfAHundredSquare) {
    EXPECT_EQ(crop_rectangle({0.95, 0.95, 1, 1}, 100, 100), (PixelRect{95, 95, 5, 5}));
}

TEST(CropRectangle, RoundsOutwardOnOddSizes) {
    // x1 = ceil(75.75) = 76, so 76 - 25 = 51.
    EXPECT_EQ(crop_rectangle({0.25, 0.25, 0.75, 0.75}, 101, 101), (PixelRect{25, 25, 51, 51}));
}

TEST(CropRectangle, NeverEmptyNorOutsideThePage) {
    EXPECT_EQ(crop_rectangle({0.99, 0.99, 1, 1}, 100, 100), (PixelRect{95, 95, 5, 5}));
    EXPECT_EQ(crop_rectangle({0, 0, 0.01, 0.01}, 100, 100), (PixelRect{0, 0, 5, 5}));
    EXPECT_EQ(crop_rectangle({0.5, 0.5, 0.5, 0.5}, 3, 3), (PixelRect{1, 1, 1, 1}));
}

TEST(CropPage, WholePageDoesNothing) {
    ScannedPage page = pattern_page(20, 20);
    const PageKey key = page.key();
    ASSERT_TRUE(crop_page(page, CropSelection::whole()).has_value());
    EXPECT_EQ(page.key(), key);
    EXPECT_EQ(page.text, "scanned words");
    EXPECT_FALSE(page.text_stale);
}

TEST(CropPage, InvalidSelectionsFailAndChangeNothing) {
    for (const CropSelection selection :
         {CropSelection{0.5, 0.5, 0.52, 0.9}, CropSelection{-0.01, 0, 1, 1}, CropSelection{0, 0, 1.01, 1}}) {
        ScannedPage page = pattern_page(20, 20);
        const PageKey key = page.key();
        EXPECT_EQ(crop_page(page, selection).error(), "crop selection was invalid");
        EXPECT_EQ(page.key(), key);
        EXPECT_EQ(page.width, 20u);
    }
}

TEST(CropPage, CutsTheRectangle) {
    ScannedPage page = pattern_page(100, 100);
    page.words = std::make_shared<const std::vector<RecognizedWord>>(
        std::vector<RecognizedWord>{{"word", 1, 2, 30, 10, 0}});
    ASSERT_TRUE(crop_page(page, {0.95, 0.95, 1, 1}).has_value());
    ASSERT_EQ(page.width, 5u);
    ASSERT_EQ(page.height, 5u);
    // The first pixel is the source's (95, 95).
    EXPECT_EQ((*page.pixels)[0], 95);
    EXPECT_EQ((*page.pixels)[1], 95);
    EXPECT_EQ((*page.pixels)[2], 0);
    EXPECT_EQ(page.status, "Text recognition needs updating after cropping.");
    EXPECT_TRUE(page.text_stale);
    EXPECT_FALSE(page.text.has_value());
    EXPECT_EQ(page.words, nullptr);
    EXPECT_EQ(decoded_pixels(page.encoded), *page.pixels);
}

TEST(CropPage, OddPageGivesFiftyOneSquare) {
    ScannedPage page = pattern_page(101, 101);
    ASSERT_TRUE(crop_page(page, {0.25, 0.25, 0.75, 0.75}).has_value());
    EXPECT_EQ(page.width, 51u);
    EXPECT_EQ(page.height, 51u);
    EXPECT_EQ((*page.pixels)[0], 25);
    const std::size_t last = (std::size_t{51} * 51 - 1) * 4;
    EXPECT_EQ((*page.pixels)[last], 75);
    EXPECT_EQ((*page.pixels)[last + 1], 75);
}

TEST(CropPage, IncompletePixelsFail) {
    ScannedPage page = pattern_page(10, 10);
    page.width = 11;
    EXPECT_EQ(crop_page(page, {0.1, 0.1, 0.9, 0.9}).error(), "scanned page pixels were incomplete");
}

}  // namespace
}  // namespace presswick::scan
