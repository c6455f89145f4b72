// Luminance, contrast, Otsu's threshold, the projection score and the rotation, on small exact images.
#include <gtest/gtest.h>

#include <cmath>

#include "ocr/prepare.h"
#include "text_page.h"

namespace {

using ocr::GrayImage;
using ocr::ImageView;
using ocr::PixelLayout;

GrayImage filled(std::uint32_t w, std::uint32_t h, std::uint8_t v) {
    return GrayImage{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, v)};
}

TEST(Luminance, UsesBt709WeightsAndDropsAlpha) {
    const std::vector<std::uint8_t> rgba = {255, 0,   0,   9,   0,   255, 0,  0,  0,  0,
                                            255, 255, 255, 255, 255, 0,   10, 20, 30, 40};
    const auto gray = ocr::to_luminance(ImageView{rgba, 5, 1, PixelLayout::rgba});
    // 0.2126 * 255 = 54.2, 0.7152 * 255 = 182.4, 0.0722 * 255 = 18.4, white stays white, 18.6 truncated.
    EXPECT_EQ(gray.pixels, (std::vector<std::uint8_t>{54, 182, 18, 255, 18}));

    const std::vector<std::uint8_t> rgb = {255, 0, 0, 0, 255, 0};
    EXPECT_EQ(ocr::to_luminance(ImageView{rgb, 2, 1, PixelLayout::rgb}).pixels,
              (std::vector<std::uint8_t>{54, 182}));
    const std::vector<std::uint8_t> gray_alpha = {7, 0, 200, 255};
    EXPECT_EQ(ocr::to_luminance(ImageView{gray_alpha, 2, 1, PixelLayout::gray_alpha}).pixels,
              (std::vector<std::uint8_t>{7, 200}));
    const std::vector<std::uint8_t> plain = {1, 2, 3};
    EXPECT_EQ(ocr::to_luminance(ImageView{plain, 3, 1, PixelLayout::gray}).pixels, plain);
}

TEST(Contrast, FollowsTheSinglePrecisionFormula) {
    GrayImage image{7, 1, {0, 30, 100, 127, 128, 200, 255}};
    ocr::raise_contrast(image);
    // ((v / 255 - 0.5) * 1.4884 + 0.5) * 255: -63.3, -18.6, 86.6, 126.6, 128.2, 235.4, 317.3.
    EXPECT_EQ(image.pixels, (std::vector<std::uint8_t>{0, 0, 86, 126, 128, 235, 255}));
}

TEST(Contrast, EveryValueMatchesTheFormula) {
    GrayImage image{256, 1, {}};
    for (int v = 0; v < 256; ++v) {
        image.pixels.push_back(static_cast<std::uint8_t>(v));
    }
    ocr::raise_contrast(image);
    const float f = 1.22F * 1.22F;
    for (int v = 0; v < 256; ++v) {
        const float d = ((static_cast<float>(v) / 255.0F - 0.5F) * f + 0.5F) * 255.0F;
        EXPECT_EQ(image.pixels[v], static_cast<int>(std::clamp(d, 0.0F, 255.0F))) << v;
    }
}

TEST(Otsu, SeparatesTwoLevelsAtTheDarkOne) {
    GrayImage image = filled(10, 10, 200);
    std::fill(image.pixels.begin(), image.pixels.begin() + 30, 50);
    // Every threshold from 50 to 199 separates equally well; the first one wins.
    EXPECT_EQ(ocr::otsu_threshold(image), 50);
}

TEST(Otsu, UniformOrEmptyImageKeeps127) {
    EXPECT_EQ(ocr::otsu_threshold(filled(8, 8, 0)), 127);
    EXPECT_EQ(ocr::otsu_threshold(filled(8, 8, 255)), 127);
    EXPECT_EQ(ocr::otsu_threshold(GrayImage{}), 127);
}

TEST(Otsu, FindsTheGapOfThreeClusters) {
    GrayImage image{0, 1, {}};
    for (const auto& [value, count] : {std::pair{20, 100}, {40, 100}, {220, 800}}) {
        image.pixels.insert(image.pixels.end(), count, static_cast<std::uint8_t>(value));
    }
    image.width = static_cast<std::uint32_t>(image.pixels.size());
    EXPECT_EQ(ocr::otsu_threshold(image), 40);
}

TEST(ProjectionScore, CountsDarkPixelsPerRowAtZero) {
    GrayImage row = filled(3, 3, 255);
    row.pixels[3] = row.pixels[4] = row.pixels[5] = 0;  // middle row dark
    EXPECT_EQ(ocr::projection_score(row, 127, 0.0), 9u);
    GrayImage column = filled(3, 3, 255);
    column.pixels[1] = column.pixels[4] = column.pixels[7] = 0;  // middle column dark
    EXPECT_EQ(ocr::projection_score(column, 127, 0.0), 3u);
    // The threshold is inclusive.
    EXPECT_EQ(ocr::projection_score(filled(3, 3, 100), 100, 0.0), 27u);
    EXPECT_EQ(ocr::projection_score(filled(3, 3, 101), 100, 0.0), 0u);
}

TEST(ProjectionScore, TiltedLineIsSharpAtItsAngle) {
    // A dark line through the centre of a 101 x 101 image rising by 45 degrees to the right.
    GrayImage image = filled(101, 101, 255);
    for (std::uint32_t x = 0; x < 101; ++x) {
        image.pixels[(100 - x) * 101 + x] = 0;
    }
    // Turned by 45 degrees, every pixel lands on the centre row: 101 squared.
    EXPECT_EQ(ocr::projection_score(image, 0, 45.0), 101u * 101u);
    EXPECT_EQ(ocr::projection_score(image, 0, 0.0), 101u);
}

TEST(ProjectionScore, KeepsPixelsTurnedOutsideTheRowsInTheMargin) {
    // Corner pixels of a wide image turned by 5 degrees land above and below the image's rows.
    GrayImage image = filled(400, 4, 0);
    const std::uint64_t dark = 400 * 4;
    const std::uint64_t score = ocr::projection_score(image, 0, 5.0);
    // Every pixel is counted: at least the sum of the counts, at most all in one row.
    EXPECT_GE(score, dark);
    EXPECT_LE(score, dark * dark);
    EXPECT_LT(score, ocr::projection_score(image, 0, 0.0));
}

TEST(Rotation, ZeroIsTheIdentity) {
    GrayImage image{4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
    EXPECT_EQ(ocr::rotate_image(image, 0.0), image);
}

TEST(Rotation, QuarterAndHalfTurnsMoveThePixelsAroundTheCentre) {
    GrayImage image = filled(5, 5, 255);
    image.pixels[0 * 5 + 4] = 0;  // top right corner
    const GrayImage half = ocr::rotate_image(image, 180.0);
    EXPECT_EQ(half.at(0, 4), 0);  // bottom left
    EXPECT_EQ(half.at(4, 0), 255);
    const GrayImage quarter = ocr::rotate_image(image, 90.0);
    // Output (x, y) samples source (cx + dy, cy - dx): output (0, 0) reads source (0, 4); output (4, 4) reads
    // (4, 0).
    EXPECT_EQ(quarter.at(4, 4), 0);
    EXPECT_EQ(quarter.at(0, 0), 255);
}

TEST(Rotation, PixelsFromOutsideAreWhite) {
    const GrayImage turned = ocr::rotate_image(filled(200, 100, 0), 10.0);
    EXPECT_EQ(turned.width, 200u);
    EXPECT_EQ(turned.height, 100u);
    EXPECT_EQ(turned.at(0, 0), 255);
    EXPECT_EQ(turned.at(199, 99), 255);
    EXPECT_EQ(turned.at(100, 50), 0);
}

TEST(Rotation, SamplesBilinearlyAndRoundsHalvesUp) {
    // Turning by a tiny angle samples between pixels: the result lies between its neighbours.
    GrayImage image{2, 2, {0, 255, 0, 255}};
    const GrayImage same = ocr::rotate_image(image, 0.0);
    EXPECT_EQ(same, image);
    GrayImage ramp{3, 1, {0, 101, 200}};
    // 180 degrees about x = 1 mirrors exactly.
    EXPECT_EQ(ocr::rotate_image(ramp, 180.0).pixels, (std::vector<std::uint8_t>{200, 101, 255}));
}

// The formulas exactly as written, pixel by pixel, to hold the optimised code to them.
GrayImage literal_rotation(const GrayImage& image, double degrees) {
    const std::uint32_t w = image.width;
    const std::uint32_t h = image.height;
    GrayImage out = filled(w, h, 255);
    const double sn = std::sin(degrees * M_PI / 180);
    const double cs = std::cos(degrees * M_PI / 180);
    const double cx = (w - 1) * 0.5;
    const double cy = (h - 1) * 0.5;
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const double dx = x - cx;
            const double dy = y - cy;
            const double sx = cx + dx * cs + dy * sn;
            const double sy = cy + dy * cs - dx * sn;
            if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                continue;
            }
            const std::uint32_t x0 =
                std::min<std::uint32_t>(static_cast<std::uint32_t>(std::floor(sx)), w - 1);
            const std::uint32_t y0 =
                std::min<std::uint32_t>(static_cast<std::uint32_t>(std::floor(sy)), h - 1);
            const std::uint32_t x1 = std::min(x0 + 1, w - 1);
            const std::uint32_t y1 = std::min(y0 + 1, h - 1);
            const double fx = sx - x0;
            const double fy = sy - y0;
            const double value = (1 - fy) * ((1 - fx) * image.at(x0, y0) + fx * image.at(x1, y0)) +
                                 fy * ((1 - fx) * image.at(x0, y1) + fx * image.at(x1, y1));
            out.pixels[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint8_t>(std::min(std::round(value), 255.0));
        }
    }
    return out;
}

std::uint64_t literal_score(const GrayImage& image, std::uint8_t t, double degrees) {
    const double sn = std::sin(degrees * M_PI / 180);
    const double cs = std::cos(degrees * M_PI / 180);
    const auto margin = static_cast<long long>(std::ceil(std::abs(sn) * image.width)) + 2;
    std::vector<std::uint64_t> profile(image.height + 2 * margin, 0);
    const double cx = (image.width - 1) * 0.5;
    const double cy = (image.height - 1) * 0.5;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            if (image.at(x, y) <= t) {
                const double turned = cy + sn * (x - cx) + cs * (y - cy);
                const long long index = std::llround(turned) + margin;
                if (index >= 0 && index < static_cast<long long>(profile.size())) {
                    ++profile[static_cast<std::size_t>(index)];
                }
            }
        }
    }
    std::uint64_t score = 0;
    for (const auto c : profile) {
        score += c * c;
    }
    return score;
}

GrayImage noisy(std::uint32_t w, std::uint32_t h) {
    GrayImage image = filled(w, h, 255);
    std::uint32_t state = 12345;
    for (auto& v : image.pixels) {
        state = state * 1664525 + 1013904223;
        // Mostly white, with runs of dark and grey values like a page of text.
        const std::uint32_t r = state >> 24;
        v = r < 160 ? 255 : static_cast<std::uint8_t>(r);
    }
    return image;
}

TEST(Rotation, MatchesTheFormulaPixelForPixel) {
    const GrayImage image = noisy(173, 211);
    for (const double degrees : {-5.0, -2.0, -0.5, 0.4, 1.5, 3.0, 4.5, 37.0, 90.0, 180.0}) {
        EXPECT_EQ(ocr::rotate_image(image, degrees), literal_rotation(image, degrees)) << degrees;
    }
    // White rows and runs of equal pixels take shortcuts: they must give the same values.
    GrayImage bars = ocr::testing::bar_page(240, 320, 2.0);
    ocr::raise_contrast(bars);
    for (const double degrees : {-2.0, 1.0, 4.5}) {
        EXPECT_EQ(ocr::rotate_image(bars, degrees), literal_rotation(bars, degrees)) << degrees;
    }
}

TEST(ProjectionScore, MatchesTheFormula) {
    const GrayImage image = noisy(301, 199);
    for (const double degrees : {-5.0, -4.5, -1.0, -0.5, 0.0, 0.5, 2.5, 5.0, 30.0}) {
        for (const std::uint8_t t : {0, 100, 200, 255}) {
            EXPECT_EQ(ocr::projection_score(image, t, degrees), literal_score(image, t, degrees)) << degrees;
        }
    }
}

TEST(PageLimits, AtMost10000OnASideAnd60MillionInAll) {
    EXPECT_FALSE(ocr::exceeds_page_limits(10000, 6000));
    EXPECT_TRUE(ocr::exceeds_page_limits(10000, 6001));
    EXPECT_TRUE(ocr::exceeds_page_limits(10001, 1));
    EXPECT_TRUE(ocr::exceeds_page_limits(1, 10001));
    EXPECT_FALSE(ocr::exceeds_page_limits(6000, 10000));
    EXPECT_FALSE(ocr::exceeds_page_limits(0, 0));
    EXPECT_TRUE(ocr::exceeds_page_limits(4294967295u, 4294967295u));
}

TEST(PreparePage, OversizedPagesAreRefusedBeforeAnyConversion) {
    for (const auto& [w, h] :
         {std::pair{10001u, 1u}, {1u, 10001u}, {10000u, 6001u}, {4294967295u, 4294967295u}}) {
        // No pixels at all: the size alone decides.
        const auto result = ocr::prepare_page_image(ImageView{{}, w, h, PixelLayout::rgba});
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind, ocr::OcrErrorKind::image_too_large);
    }
}

TEST(PreparePage, LargestPageIsAccepted) {
    const std::vector<std::uint8_t> white(10000u * 6000u, 255);
    const auto result = ocr::prepare_page_image(ImageView{white, 10000, 6000, PixelLayout::gray});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->width, 10000u);
    EXPECT_EQ(result->height, 6000u);
    EXPECT_EQ(result->pixels.size(), white.size());
}

TEST(PreparePage, ShortPixelBufferIsRefused) {
    const std::vector<std::uint8_t> pixels(10 * 10 * 4 - 1, 0);
    const auto result = ocr::prepare_page_image(ImageView{pixels, 10, 10, PixelLayout::rgba});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, ocr::OcrErrorKind::image_encoding);
}

TEST(PreparePage, UntiltedPageIsConvertedAndContrasted) {
    const std::vector<std::uint8_t> rgb = {255, 255, 255, 100, 100, 100, 0, 0, 0, 200, 200, 200};
    const auto result = ocr::prepare_page_image(ImageView{rgb, 2, 2, PixelLayout::rgb});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pixels, (std::vector<std::uint8_t>{255, 86, 0, 235}));
}

TEST(PreparePage, MostlyDarkChartKeepsItsLuminanceWhileTextPagesAreRaised) {
    // Red, green and blue bands with a light grid, as a scanner's colour chart: raised, the red and blue
    // bands become black and most of the page is dark.
    constexpr std::uint32_t w = 200, h = 240;
    std::vector<std::uint8_t> rgb(std::size_t{w} * h * 3, 0);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = rgb.data() + (std::size_t{y} * w + x) * 3;
            if (x % 10 == 0 || y % 10 == 0) {
                p[0] = p[1] = p[2] = 160;
            } else {
                p[(y / 20) % 3] = 255;
            }
        }
    }
    const ImageView chart{rgb, w, h, PixelLayout::rgb};
    const auto prepared = ocr::prepare_page_image(chart);
    ASSERT_TRUE(prepared.has_value());
    EXPECT_EQ(*prepared, ocr::to_luminance(chart));

    // Dark lines on white: raised as before.
    GrayImage text = filled(w, h, 230);
    for (std::uint32_t y = 20; y < h; y += 20) {
        std::fill_n(text.pixels.begin() + std::size_t{y} * w + 20, w - 40, 60);
    }
    const auto raised = ocr::prepare_page_image(text.view());
    ASSERT_TRUE(raised.has_value());
    GrayImage expected = text;
    ocr::raise_contrast(expected);
    EXPECT_EQ(*raised, expected);
}

TEST(PreparePage, EmptyPageIsReturnedEmpty) {
    const auto result = ocr::prepare_page_image(ImageView{{}, 0, 0, PixelLayout::rgba});
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->pixels.empty());
}

}  // namespace
