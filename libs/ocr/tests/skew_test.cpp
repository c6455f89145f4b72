// The skew search and the straightening of whole pages, on pages of tilted dark bars.
#include <gtest/gtest.h>

#include <cmath>

#include "ocr/prepare.h"
#include "text_page.h"

namespace {

using ocr::GrayImage;
using ocr::testing::bar_page;

GrayImage contrasted(GrayImage image) {
    ocr::raise_contrast(image);
    return image;
}

// The row at which the first bar below `from` begins in a band of columns.
std::uint32_t first_dark_row(const GrayImage& image, std::uint32_t x0, std::uint32_t x1, std::uint32_t from) {
    for (std::uint32_t y = from; y < image.height; ++y) {
        for (std::uint32_t x = x0; x < x1; ++x) {
            if (image.at(x, y) < 128) {
                return y;
            }
        }
    }
    return image.height;
}

TEST(BarPage, NegativeAnglesDescendToTheRight) {
    const GrayImage page = bar_page(900, 1100, -2.0);
    // Start at the top of the bar area; the bars drop by tan(2 degrees) * 540 = 19 pixels across the band.
    const std::uint32_t left = first_dark_row(page, 200, 210, 300);
    const std::uint32_t right = first_dark_row(page, 740, 750, left);
    EXPECT_GT(right, left + 10);
}

class SkewOfBars : public testing::TestWithParam<double> {};

TEST_P(SkewOfBars, IsFoundWithinHalfADegreeAndStraightened) {
    const double tilt = GetParam();
    const GrayImage page = contrasted(bar_page(900, 1100, tilt));
    const auto angle = ocr::estimate_skew(page);
    if (std::abs(tilt) < 0.4) {
        EXPECT_FALSE(angle.has_value());
    } else {
        ASSERT_TRUE(angle.has_value()) << tilt;
        EXPECT_NEAR(*angle, tilt, 0.5);
    }

    const auto prepared = ocr::prepare_page_image(bar_page(900, 1100, tilt).view());
    ASSERT_TRUE(prepared.has_value());
    EXPECT_EQ(prepared->width, 900u);
    EXPECT_EQ(prepared->height, 1100u);
    // Straight now: nothing left to correct, and the row profile is sharpest at 0 degrees.
    EXPECT_FALSE(ocr::estimate_skew(*prepared).has_value());
    const std::uint8_t t = ocr::otsu_threshold(*prepared);
    const std::uint64_t straight = ocr::projection_score(*prepared, t, 0.0);
    for (const double other : {-1.0, -0.5, 0.5, 1.0}) {
        EXPECT_GT(straight, ocr::projection_score(*prepared, t, other)) << other;
    }
    // A bar starts on the same row at the left and at the right of the page.
    const std::uint32_t left = first_dark_row(*prepared, 250, 260, 300);
    const std::uint32_t right = first_dark_row(*prepared, 640, 650, left > 3 ? left - 3 : 0);
    EXPECT_LE(std::abs(static_cast<int>(right) - static_cast<int>(left)), 2) << tilt;
}

INSTANTIATE_TEST_SUITE_P(Angles, SkewOfBars, testing::Values(-3.0, -2.0, 0.0, 2.5, 4.5));

TEST(Skew, A4PageIsMeasuredOnASmallCopyAndKeepsItsSize) {
    const GrayImage page = bar_page(2480, 3508, -2.0);
    const auto angle = ocr::estimate_skew(contrasted(page));
    ASSERT_TRUE(angle.has_value());
    EXPECT_NEAR(*angle, -2.0, 0.5);
    const auto prepared = ocr::prepare_page_image(page.view());
    ASSERT_TRUE(prepared.has_value());
    EXPECT_EQ(prepared->width, 2480u);
    EXPECT_EQ(prepared->height, 3508u);
    EXPECT_FALSE(ocr::estimate_skew(*prepared).has_value());
}

TEST(Skew, LandscapeWiderThan1200IsMeasuredToo) {
    const auto angle = ocr::estimate_skew(contrasted(bar_page(3000, 1000, 3.0)));
    ASSERT_TRUE(angle.has_value());
    EXPECT_NEAR(*angle, 3.0, 0.5);
}

TEST(Skew, ColourPageIsStraightenedLikeAGrayOne) {
    const GrayImage page = bar_page(900, 1100, 2.5);
    const auto rgba = ocr::testing::to_rgba(page);
    const auto from_colour = ocr::prepare_page_image(ocr::ImageView{rgba, 900, 1100, ocr::PixelLayout::rgba});
    const auto from_gray = ocr::prepare_page_image(page.view());
    ASSERT_TRUE(from_colour.has_value());
    ASSERT_TRUE(from_gray.has_value());
    EXPECT_EQ(*from_colour, *from_gray);
}

TEST(Skew, BlankAndBlackPagesAreLeftAlone) {
    const GrayImage white{800, 1000, std::vector<std::uint8_t>(800 * 1000, 255)};
    const GrayImage black{800, 1000, std::vector<std::uint8_t>(800 * 1000, 0)};
    EXPECT_FALSE(ocr::estimate_skew(white).has_value());
    EXPECT_FALSE(ocr::estimate_skew(black).has_value());
    const auto prepared_black = ocr::prepare_page_image(black.view());
    ASSERT_TRUE(prepared_black.has_value());
    EXPECT_EQ(*prepared_black, black);
    const auto prepared_white = ocr::prepare_page_image(white.view());
    ASSERT_TRUE(prepared_white.has_value());
    EXPECT_EQ(*prepared_white, white);
}

TEST(Skew, NearlyBlankAndMostlyDarkPagesAreLeftAlone) {
    // Fewer than one dark pixel in a thousand.
    GrayImage sparse{1000, 1000, std::vector<std::uint8_t>(1000 * 1000, 255)};
    for (std::uint32_t x = 100; x < 1000 - 100; x += 1) {
        sparse.pixels[500 * 1000 + x] = (x % 9 == 0) ? 0 : 255;
    }
    EXPECT_FALSE(ocr::estimate_skew(sparse).has_value());
    // More than two fifths dark: tilted white bars on black.
    GrayImage inverted = contrasted(bar_page(900, 1100, 3.0));
    for (auto& v : inverted.pixels) {
        v = static_cast<std::uint8_t>(255 - v);
    }
    EXPECT_FALSE(ocr::estimate_skew(inverted).has_value());
}

TEST(Skew, SmallPagesAreNeverMeasured) {
    EXPECT_FALSE(ocr::estimate_skew(contrasted(bar_page(1000, 31, 3.0))).has_value());
    EXPECT_FALSE(ocr::estimate_skew(contrasted(bar_page(31, 1000, 3.0))).has_value());
    const GrayImage small = bar_page(600, 31, 3.0);
    const auto prepared = ocr::prepare_page_image(small.view());
    ASSERT_TRUE(prepared.has_value());
    EXPECT_EQ(*prepared, contrasted(small));
}

TEST(Skew, TiltsBeyondTheSearchAreNotCorrectedFurther) {
    // The search ends at 5 degrees: a 5-degree page is found at 5 at most.
    const auto angle = ocr::estimate_skew(contrasted(bar_page(900, 1100, 5.0)));
    ASSERT_TRUE(angle.has_value());
    EXPECT_LE(std::abs(*angle), 5.0);
}

}  // namespace
