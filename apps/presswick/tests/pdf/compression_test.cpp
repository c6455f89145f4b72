// The image streams are standard zlib format: zlib itself inflates them to the same bytes.
#include "pdf/compression.h"

#include <gtest/gtest.h>

#include <string_view>

#include "test_support.h"

namespace presswick::pdf {
namespace {

std::string_view view(const Buffer& buffer) {
    return {reinterpret_cast<const char*>(buffer.bytes().data()), buffer.size()};
}

TEST(Compression, ZlibInflatesItToTheSameBytes) {
    const auto page = testing::synthetic_page(640, 480, 7);
    const Buffer compressed = zlib_compress(page);
    ASSERT_GT(compressed.size(), 6u);
    EXPECT_LT(compressed.size(), page.size());
    // RFC 1950 header: deflate, 32 KiB window, the "default" level marker of level 6.
    EXPECT_EQ(compressed.bytes()[0], 0x78);
    EXPECT_EQ(compressed.bytes()[1], 0x9C);
    const auto inflated = testing::inflate(view(compressed), page.size());
    ASSERT_TRUE(inflated);
    EXPECT_EQ(*inflated, page);
}

TEST(Compression, EmptyInputIsAValidStream) {
    const Buffer compressed = zlib_compress({});
    const auto inflated = testing::inflate(view(compressed), 0);
    ASSERT_TRUE(inflated);
    EXPECT_TRUE(inflated->empty());
}

TEST(Compression, ParallelPassGivesEachInputItsOwnStream) {
    std::vector<std::vector<std::uint8_t>> pages;
    for (std::uint32_t k = 0; k < 9; ++k) {
        pages.push_back(testing::synthetic_page(100 + 13 * k, 80 + 7 * k, k));
    }
    std::vector<std::span<const std::uint8_t>> inputs(pages.begin(), pages.end());
    for (const unsigned threads : {0u, 1u, 2u, 5u, 16u}) {
        const auto results = zlib_compress_all(inputs, threads);
        ASSERT_EQ(results.size(), pages.size());
        for (std::size_t k = 0; k < pages.size(); ++k) {
            const Buffer alone = zlib_compress(pages[k]);
            EXPECT_EQ(view(results[k]), view(alone)) << threads << " threads, input " << k;
        }
    }
    EXPECT_TRUE(zlib_compress_all({}, 4).empty());
}

}  // namespace
}  // namespace presswick::pdf
