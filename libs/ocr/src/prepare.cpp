#include "ocr/prepare.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "ocr/large_buffer.h"
#include "resize.h"

namespace ocr {

namespace {

constexpr std::uint32_t skew_min_side = 32;
constexpr std::uint32_t skew_work_side = 1200;
constexpr double min_rotation_degrees = 0.4;

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::uint64_t>::max() : product;
}

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Nearest integer, halves away from zero; exact for the magnitudes of pixel coordinates.
std::int64_t round_half_away(double value) {
    auto whole = static_cast<std::int64_t>(value);
    const double rest = value - static_cast<double>(whole);
    if (rest >= 0.5) {
        ++whole;
    } else if (rest <= -0.5) {
        --whole;
    }
    return whole;
}

std::array<std::uint8_t, 256> contrast_table() {
    const float max = 255.0F;
    const float factor = ((100.0F + 22.0F) / 100.0F) * ((100.0F + 22.0F) / 100.0F);
    std::array<std::uint8_t, 256> table{};
    for (std::size_t v = 0; v < table.size(); ++v) {
        const float c = static_cast<float>(v);
        const float d = ((c / max - 0.5F) * factor + 0.5F) * max;
        table[v] = static_cast<std::uint8_t>(std::clamp(d, 0.0F, max));
    }
    return table;
}

using Histogram = std::array<std::uint64_t, 256>;

Histogram histogram_of(const GrayImage& image) {
    // Four tables filled in turn: neighbouring pixels of one value do not wait on each other's count.
    std::array<std::array<std::uint32_t, 256>, 4> part{};
    const std::uint8_t* v = image.pixels.data();
    const std::size_t count = image.pixels.size();
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        ++part[0][v[i]];
        ++part[1][v[i + 1]];
        ++part[2][v[i + 2]];
        ++part[3][v[i + 3]];
    }
    for (; i < count; ++i) {
        ++part[0][v[i]];
    }
    Histogram counts{};
    for (std::size_t level = 0; level < counts.size(); ++level) {
        counts[level] = std::uint64_t{part[0][level]} + part[1][level] + part[2][level] + part[3][level];
    }
    return counts;
}

// Otsu's histogram method over the 256 levels.
std::uint8_t threshold_of(const Histogram& counts) {
    std::uint64_t total = 0;
    std::uint64_t pixels = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        total = saturating_add(total, saturating_mul(v, counts[v]));
        pixels = saturating_add(pixels, counts[v]);
    }
    std::uint8_t threshold = 127;
    double best = 0.0;
    std::uint64_t background = 0;
    std::uint64_t background_sum = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        background = saturating_add(background, counts[v]);
        if (background == 0) {
            continue;
        }
        const std::uint64_t foreground = pixels - background;
        if (foreground == 0) {
            continue;
        }
        background_sum = saturating_add(background_sum, saturating_mul(v, counts[v]));
        const double mean_b = static_cast<double>(background_sum) / static_cast<double>(background);
        const double mean_f = static_cast<double>(total - background_sum) / static_cast<double>(foreground);
        const double variance = static_cast<double>(background) * static_cast<double>(foreground) *
                                (mean_b - mean_f) * (mean_b - mean_f);
        if (variance > best) {
            best = variance;
            threshold = static_cast<std::uint8_t>(v);
        }
    }
    return threshold;
}

// Raised contrast turns the shading of a page that is mostly dark into solid black crossed by light
// seams, in which the engine finds hundreds of one-pixel columns and spends seconds on them (a colour
// chart at 600 dpi: 11 s against 0.4 s for the page as scanned). Such a page, as the skew search judges
// it (more than 2/5 of its pixels dark once raised), keeps its plain luminance.
bool raising_darkens_most(const GrayImage& image, const std::array<std::uint8_t, 256>& table) {
    if (image.width < skew_min_side || image.height < skew_min_side) {
        return false;
    }
    const Histogram plain = histogram_of(image);
    Histogram raised{};
    for (std::size_t v = 0; v < plain.size(); ++v) {
        raised[table[v]] += plain[v];
    }
    const std::uint8_t threshold = threshold_of(raised);
    std::uint64_t dark = 0;
    for (std::size_t v = 0; v <= threshold; ++v) {
        dark += raised[v];
    }
    return dark > 2 * static_cast<std::uint64_t>(image.pixels.size()) / 5;
}

const std::array<std::uint8_t, 256>& raised_levels() {
    static const std::array<std::uint8_t, 256> table = contrast_table();
    return table;
}

std::size_t channels_of(PixelLayout layout) {
    return static_cast<std::size_t>(layout);
}

// The working copy of the skew search: no side longer than 1200 pixels.
GrayImage measuring_copy(const GrayImage& image) {
    const std::uint32_t longest = std::max(image.width, image.height);
    if (longest <= skew_work_side) {
        return image;
    }
    GrayImage small;
    small.width = image.width * skew_work_side / longest;
    small.height = image.height * skew_work_side / longest;
    if (small.width == 0 || small.height == 0) {
        return {};
    }
    return detail::resize_triangle(image, small.width, small.height);
}

struct DarkPixel {
    std::uint32_t x;
    std::uint32_t y;
};

// The pixels at or below the threshold, in row order: the skew search scores the same ones 22 times.
std::vector<DarkPixel> dark_pixels(const GrayImage& image, std::uint8_t threshold, std::size_t expected = 0) {
    std::vector<DarkPixel> dark;
    dark.reserve(expected);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
        for (std::uint32_t x = 0; x < image.width; ++x) {
            if (row[x] <= threshold) {
                dark.push_back({x, y});
            }
        }
    }
    return dark;
}

// The projection score of the dark pixels of a width x height image turned by `degrees`.
std::uint64_t score_of(const std::vector<DarkPixel>& dark, std::uint32_t width, std::uint32_t height,
                       double degrees) {
    const double sn = std::sin(radians(degrees));
    const double cs = std::cos(radians(degrees));
    const auto margin = static_cast<std::int64_t>(std::ceil(std::abs(sn) * width)) + 2;
    const auto size = static_cast<std::int64_t>(height) + 2 * margin;
    const double cx = (width - 1.0) * 0.5;
    const double cy = (height - 1.0) * 0.5;
    // y' = cy + sn (x - cx) + cs (y - cy), evaluated left to right: the first sum depends on x only,
    // the last term on y only, so both come from tables without changing a single rounding.
    std::vector<double> by_column(width);
    for (std::uint32_t x = 0; x < width; ++x) {
        by_column[x] = cy + sn * (x - cx);
    }
    std::vector<double> by_row(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        by_row[y] = cs * (y - cy);
    }
    std::vector<std::uint32_t> profile(static_cast<std::size_t>(size), 0);
    for (const DarkPixel& p : dark) {
        const std::int64_t index = round_half_away(by_column[p.x] + by_row[p.y]) + margin;
        if (index >= 0 && index < size) {
            auto& counter = profile[static_cast<std::size_t>(index)];
            counter += counter != std::numeric_limits<std::uint32_t>::max() ? 1 : 0;
        }
    }
    std::uint64_t score = 0;
    for (const std::uint32_t counter : profile) {
        score = saturating_add(score, static_cast<std::uint64_t>(counter) * counter);
    }
    return score;
}

}  // namespace

bool exceeds_page_limits(std::uint32_t width, std::uint32_t height) {
    return width > max_page_side || height > max_page_side ||
           static_cast<std::uint64_t>(width) * height > max_page_pixels;
}

// One loop per layout, known at compile time, so that the vectoriser widens it (the build's -O2 leaves
// it scalar): on a 600-dpi colour page this copy was a fifth of our share.
#pragma GCC push_options
#pragma GCC optimize("tree-vectorize")
namespace {

template <std::size_t channels>
void luminance_of(const std::uint8_t* __restrict source, std::uint8_t* __restrict gray, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = source + i * channels;
        if constexpr (channels <= 2) {
            gray[i] = p[0];
        } else {
            gray[i] = static_cast<std::uint8_t>((2126U * p[0] + 7152U * p[1] + 722U * p[2]) / 10000U);
        }
    }
}

}  // namespace

GrayImage to_luminance(const ImageView& image) {
    GrayImage gray{image.width, image.height, {}};
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    const std::size_t channels = channels_of(image.layout);
    gray.pixels.reserve(count);
    advise_huge_pages(gray.pixels.data(), count);
    // Grown a slice at a time, so the vector's zero fill lands in the cache the copy then overwrites.
    constexpr std::size_t slice = 65'536;
    for (std::size_t done = 0; done < count; done += slice) {
        const std::size_t part = std::min(slice, count - done);
        gray.pixels.resize(done + part);
        const std::uint8_t* source = image.pixels.data() + done * channels;
        std::uint8_t* out = gray.pixels.data() + done;
        switch (channels) {
            case 1:
                luminance_of<1>(source, out, part);
                break;
            case 2:
                luminance_of<2>(source, out, part);
                break;
            case 3:
                luminance_of<3>(source, out, part);
                break;
            default:
                luminance_of<4>(source, out, part);
                break;
        }
    }
    return gray;
}
#pragma GCC pop_options

void raise_contrast(GrayImage& image) {
    const auto& table = raised_levels();
    for (auto& v : image.pixels) {
        v = table[v];
    }
}

std::uint8_t otsu_threshold(const GrayImage& image) {
    return threshold_of(histogram_of(image));
}

std::uint64_t projection_score(const GrayImage& image, std::uint8_t threshold, double degrees) {
    return score_of(dark_pixels(image, threshold), image.width, image.height, degrees);
}

std::optional<double> estimate_skew(const GrayImage& image) {
    if (image.width < skew_min_side || image.height < skew_min_side) {
        return std::nullopt;
    }
    const GrayImage work = measuring_copy(image);
    const std::uint64_t pixels = work.pixels.size();
    if (pixels == 0) {
        return std::nullopt;
    }
    const Histogram counts = histogram_of(work);
    const std::uint8_t threshold = threshold_of(counts);
    // The count first: a blank or dark page is left alone without listing its pixels.
    std::uint64_t dark_count = 0;
    for (std::size_t v = 0; v <= threshold; ++v) {
        dark_count += counts[v];
    }
    if (dark_count < pixels / 1000 || dark_count > 2 * pixels / 5) {
        return std::nullopt;
    }
    const std::vector<DarkPixel> dark = dark_pixels(work, threshold, dark_count);
    const std::uint64_t baseline = score_of(dark, work.width, work.height, 0.0);
    std::uint64_t best_score = baseline;
    std::optional<double> best_angle;
    for (int k = -10; k <= 10; ++k) {
        const double angle = k / 2.0;
        const std::uint64_t score = score_of(dark, work.width, work.height, angle);
        if (score > best_score) {
            best_score = score;
            best_angle = angle;
        }
    }
    if (!best_angle || std::abs(*best_angle) < min_rotation_degrees) {
        return std::nullopt;
    }
    if (best_score > saturating_mul(baseline, 108) / 100) {
        return best_angle;
    }
    return std::nullopt;
}

GrayImage rotate_image(const GrayImage& image, double degrees) {
    const std::uint32_t w = image.width;
    const std::uint32_t h = image.height;
    GrayImage out{w, h, std::vector<std::uint8_t>(image.pixels.size(), 255)};
    if (w == 0 || h == 0) {
        return out;
    }
    const double sn = std::sin(radians(degrees));
    const double cs = std::cos(radians(degrees));
    const double cx = (w - 1.0) * 0.5;
    const double cy = (h - 1.0) * 0.5;
    // sx = cx + dx cs + dy sn and sy = cy + dy cs - dx sn, evaluated left to right: the parts that depend
    // on x alone come from tables, with exactly the same roundings.
    std::vector<double> sx_of_column(w);
    std::vector<double> dx_sn(w);
    for (std::uint32_t x = 0; x < w; ++x) {
        const double dx = x - cx;
        sx_of_column[x] = cx + dx * cs;
        dx_sn[x] = dx * sn;
    }
    const std::uint8_t* source = image.pixels.data();
    // Where a source row and the next are all white, every sample between them is white.
    std::vector<std::uint8_t> white_below(h);
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = source + static_cast<std::size_t>(y) * w;
        white_below[y] =
            static_cast<std::uint8_t>(std::all_of(row, row + w, [](std::uint8_t v) { return v == 255; }));
    }
    for (std::uint32_t y = 0; y + 1 < h; ++y) {
        white_below[y] = static_cast<std::uint8_t>(white_below[y] != 0 && white_below[y + 1] != 0);
    }
    for (std::uint32_t y = 0; y < h; ++y) {
        const double dy = y - cy;
        const double dy_sn = dy * sn;
        const double sy_of_row = cy + dy * cs;
        std::uint8_t* row = out.pixels.data() + static_cast<std::size_t>(y) * w;
        for (std::uint32_t x = 0; x < w; ++x) {
            const double sx = sx_of_column[x] + dy_sn;
            const double sy = sy_of_row - dx_sn[x];
            if (sx < 0.0 || sy < 0.0 || sx >= w || sy >= h) {
                continue;
            }
            const std::uint32_t y0 = std::min(static_cast<std::uint32_t>(sy), h - 1);
            if (white_below[y0] != 0) {
                continue;  // already white
            }
            const std::uint32_t x0 = std::min(static_cast<std::uint32_t>(sx), w - 1);
            const std::uint32_t x1 = std::min(x0 + 1, w - 1);
            const std::uint32_t y1 = std::min(y0 + 1, h - 1);
            const std::uint8_t* top = source + static_cast<std::size_t>(y0) * w;
            const std::uint8_t* bottom = source + static_cast<std::size_t>(y1) * w;
            const std::uint8_t p00 = top[x0];
            const std::uint8_t p10 = top[x1];
            const std::uint8_t p01 = bottom[x0];
            const std::uint8_t p11 = bottom[x1];
            // Four equal neighbours interpolate to within a few ulps of their value, which rounds back to it.
            if (p00 == p10 && p00 == p01 && p00 == p11) {
                row[x] = p00;
                continue;
            }
            const double fx = sx - x0;
            const double fy = sy - y0;
            const double value =
                (1.0 - fy) * ((1.0 - fx) * p00 + fx * p10) + fy * ((1.0 - fx) * p01 + fx * p11);
            row[x] = static_cast<std::uint8_t>(std::min<std::int64_t>(round_half_away(value), 255));
        }
    }
    return out;
}

std::expected<GrayImage, OcrError> prepare_page_image(const ImageView& image) {
    if (exceeds_page_limits(image.width, image.height)) {
        return std::unexpected(OcrError{OcrErrorKind::image_too_large, {}, {}});
    }
    const std::size_t needed =
        static_cast<std::size_t>(image.width) * image.height * channels_of(image.layout);
    if (image.pixels.size() < needed) {
        return std::unexpected(
            OcrError{OcrErrorKind::image_encoding, "the pixel buffer is shorter than the image size", {}});
    }
    GrayImage gray = to_luminance(image);
    if (!raising_darkens_most(gray, raised_levels())) {
        raise_contrast(gray);
    }
    const std::optional<double> angle = estimate_skew(gray);
    if (angle && std::abs(*angle) >= min_rotation_degrees) {
        return rotate_image(gray, *angle);
    }
    return gray;
}

}  // namespace ocr
