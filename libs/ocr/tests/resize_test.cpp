#include <gtest/gtest.h>
#include <stb_image_resize.h>

#include <cstdlib>

#include "resize.h"
#include "text_page.h"

namespace {

using ocr::GrayImage;
using ocr::detail::resize_triangle;

TEST(ResizeTriangle, UniformStaysUniform) {
    const GrayImage image{300, 200, std::vector<std::uint8_t>(300 * 200, 77)};
    const GrayImage small = resize_triangle(image, 97, 61);
    EXPECT_EQ(small.width, 97u);
    EXPECT_EQ(small.height, 61u);
    EXPECT_EQ(small.pixels, std::vector<std::uint8_t>(97 * 61, 77));
}

TEST(ResizeTriangle, HalvingAveragesNeighbours) {
    // Shrinking by 2 with the widened triangle: weights 1/8, 3/8, 3/8, 1/8 across four source pixels;
    // at the borders the missing tap is dropped and the rest renormalised (20 / 1.75, 400 / 1.75).
    const GrayImage image{8, 1, {0, 0, 80, 80, 160, 160, 240, 240}};
    const GrayImage small = resize_triangle(image, 4, 1);
    EXPECT_EQ(small.pixels, (std::vector<std::uint8_t>{11, 80, 160, 229}));
}

TEST(ResizeTriangle, SameSizeIsTheIdentity) {
    const GrayImage image{5, 3, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 255}};
    EXPECT_EQ(resize_triangle(image, 5, 3), image);
}

TEST(ResizeTriangle, AgreesWithStbOnATextPage) {
    const GrayImage page = ocr::testing::bar_page(2480, 3508, 1.5);
    const GrayImage ours = resize_triangle(page, 848, 1200);
    std::vector<std::uint8_t> theirs(848 * 1200);
    ASSERT_NE(stbir_resize_uint8_generic(page.pixels.data(), 2480, 3508, 2480, theirs.data(), 848, 1200, 848,
                                         1, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                         STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr),
              0);
    int worst = 0;
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        worst = std::max(worst, std::abs(static_cast<int>(ours.pixels[i]) - static_cast<int>(theirs[i])));
    }
    // The same filter; only roundings differ.
    EXPECT_LE(worst, 1);
}

}  // namespace
