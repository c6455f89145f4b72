#include "resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ocr::detail {

namespace {

// The source span and normalised weights of one output coordinate.
struct Taps {
    std::uint32_t first = 0;
    std::vector<float> weights;
};

std::vector<Taps> taps_for(std::uint32_t from, std::uint32_t to) {
    const float ratio = static_cast<float>(from) / static_cast<float>(to);
    const float spread = std::max(ratio, 1.0F);  // the triangle's support of 1, widened when shrinking
    std::vector<Taps> all(to);
    for (std::uint32_t out = 0; out < to; ++out) {
        const float centre = (static_cast<float>(out) + 0.5F) * ratio;
        const auto left = static_cast<std::int64_t>(std::floor(centre - spread));
        const auto right = static_cast<std::int64_t>(std::ceil(centre + spread));
        const std::int64_t first = std::clamp<std::int64_t>(left, 0, from - 1);
        const std::int64_t last = std::clamp<std::int64_t>(right, first + 1, from);
        Taps& taps = all[out];
        taps.first = static_cast<std::uint32_t>(first);
        float sum = 0.0F;
        for (std::int64_t i = first; i < last; ++i) {
            const float t = (static_cast<float>(i) - (centre - 0.5F)) / spread;
            const float weight = std::max(0.0F, 1.0F - std::abs(t));
            taps.weights.push_back(weight);
            sum += weight;
        }
        if (sum > 0.0F) {
            for (float& weight : taps.weights) {
                weight /= sum;
            }
        } else {
            taps.weights.assign(taps.weights.size(), 0.0F);
            taps.weights.front() = 1.0F;
        }
    }
    return all;
}

// Nearest value, halves up; the weights are normalised, so the value is never below 0.
std::uint8_t to_byte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value + 0.5F, 0.0F, 255.0F));
}

}  // namespace

// The skew estimate's largest cost: both blends run over whole rows, which the vectoriser turns into
// wide multiply-adds (the build's -O2 leaves them scalar).
#pragma GCC push_options
#pragma GCC optimize("tree-vectorize")
GrayImage resize_triangle(const GrayImage& image, std::uint32_t width, std::uint32_t height) {
    GrayImage out{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
    if (image.width == 0 || image.height == 0 || width == 0 || height == 0) {
        return out;
    }
    const std::vector<Taps> rows = taps_for(image.height, height);
    const std::vector<Taps> columns = taps_for(image.width, width);
    // The column taps side by side, each padded with zero weights to the widest: the horizontal blend is
    // then one loop of fixed length per pixel instead of a walk through a vector each. A zero weight adds
    // +0 to a sum that is never below 0, so every value stays exactly what it was.
    std::size_t widest = 1;
    for (const Taps& taps : columns) {
        widest = std::max(widest, taps.weights.size());
    }
    std::vector<float> weights(static_cast<std::size_t>(width) * widest, 0.0F);
    std::vector<std::uint32_t> firsts(width);
    for (std::uint32_t x = 0; x < width; ++x) {
        firsts[x] = columns[x].first;
        std::copy(columns[x].weights.begin(), columns[x].weights.end(), weights.begin() + x * widest);
    }
    std::vector<float> blended(image.width + widest, 0.0F);  // the padding reads zeros past the row
    for (std::uint32_t y = 0; y < height; ++y) {
        std::fill(blended.begin(), blended.begin() + image.width, 0.0F);
        const Taps& vertical = rows[y];
        for (std::size_t k = 0; k < vertical.weights.size(); ++k) {
            const float weight = vertical.weights[k];
            const std::uint8_t* source =
                image.pixels.data() + static_cast<std::size_t>(vertical.first + k) * image.width;
            for (std::uint32_t x = 0; x < image.width; ++x) {
                blended[x] += weight * static_cast<float>(source[x]);
            }
        }
        std::uint8_t* row = out.pixels.data() + static_cast<std::size_t>(y) * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            const float* tap = weights.data() + x * widest;
            const float* from = blended.data() + firsts[x];
            float value = 0.0F;
            for (std::size_t k = 0; k < widest; ++k) {
                value += tap[k] * from[k];
            }
            row[x] = to_byte(value);
        }
    }
    return out;
}
#pragma GCC pop_options

}  // namespace ocr::detail
