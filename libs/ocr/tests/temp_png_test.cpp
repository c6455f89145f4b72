#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "ocr/image_file.h"
#include "ocr/temp_png.h"

namespace {

namespace fs = std::filesystem;

TEST(TempPng, IsANewOwnerOnlyFileWithARandomNameAndGoesAway) {
    fs::path path;
    {
        auto file = ocr::TempPng::create();
        ASSERT_TRUE(file.has_value());
        path = file->path();
        EXPECT_EQ(path.parent_path(), fs::temp_directory_path());
        const std::string name = path.filename().string();
        ASSERT_EQ(name.size(), 14u);
        EXPECT_TRUE(name.starts_with(".tmp"));
        EXPECT_TRUE(name.ends_with(".png"));
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_EQ(info.st_size, 0);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempPng, NamesDiffer) {
    std::set<fs::path> names;
    std::vector<ocr::TempPng> files;
    for (int i = 0; i < 50; ++i) {
        auto file = ocr::TempPng::create();
        ASSERT_TRUE(file.has_value());
        names.insert(file->path());
        files.push_back(std::move(*file));
    }
    EXPECT_EQ(names.size(), 50u);
    files.clear();
    for (const auto& name : names) {
        EXPECT_FALSE(fs::exists(name));
    }
}

TEST(TempPng, HoldsAGrayPngOfTheImage) {
    ocr::GrayImage image{37, 11, {}};
    for (std::size_t i = 0; i < 37 * 11; ++i) {
        image.pixels.push_back(static_cast<std::uint8_t>(i * 7));
    }
    auto file = ocr::TempPng::create();
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(file->write(image).has_value());
    std::ifstream in(file->path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes[25], 0);  // colour type 0: grayscale
    EXPECT_EQ(bytes[24], 8);  // 8 bits
    const auto decoded = ocr::decode_image(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->layout, ocr::PixelLayout::gray);
    EXPECT_EQ(decoded->width, 37u);
    EXPECT_EQ(decoded->height, 11u);
    EXPECT_EQ(decoded->pixels, image.pixels);

    // Rows that straddle the 64 KiB stored blocks, and a last block that ends inside a row.
    ocr::GrayImage large{301, 257, {}};
    for (std::size_t i = 0; i < 301 * 257; ++i) {
        large.pixels.push_back(static_cast<std::uint8_t>(i * 13 + i / 301));
    }
    auto second = ocr::TempPng::create();
    ASSERT_TRUE(second.has_value());
    ASSERT_TRUE(second->write(large).has_value());
    std::ifstream again(second->path(), std::ios::binary);
    const std::vector<std::uint8_t> stored{std::istreambuf_iterator<char>(again),
                                           std::istreambuf_iterator<char>()};
    const auto read = ocr::decode_image(stored);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->width, 301u);
    EXPECT_EQ(read->height, 257u);
    EXPECT_EQ(read->pixels, large.pixels);
}

TEST(TempPng, EncodingFailureCarriesTheLibrarysMessage) {
    auto file = ocr::TempPng::create();
    ASSERT_TRUE(file.has_value());
    const auto empty = file->write(ocr::GrayImage{});
    ASSERT_FALSE(empty.has_value());
    EXPECT_EQ(empty.error().kind, ocr::OcrErrorKind::image_encoding);
    EXPECT_FALSE(empty.error().message.empty());
    const auto mismatched = file->write(ocr::GrayImage{5, 5, {1, 2, 3}});
    ASSERT_FALSE(mismatched.has_value());
    EXPECT_EQ(mismatched.error().kind, ocr::OcrErrorKind::image_encoding);
}

TEST(TempPng, MovedFromOwnerRemovesNothing) {
    auto file = ocr::TempPng::create();
    ASSERT_TRUE(file.has_value());
    const fs::path path = file->path();
    std::optional<ocr::TempPng> moved;
    {
        ocr::TempPng inner = std::move(*file);
        moved.emplace(std::move(inner));
    }
    EXPECT_TRUE(fs::exists(path));
    moved.reset();
    EXPECT_FALSE(fs::exists(path));
}

TEST(DecodeImage, RefusesWhatIsNotAnImage) {
    const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(ocr::decode_image(text).has_value());
    EXPECT_FALSE(ocr::image_size(text).has_value());
    EXPECT_FALSE(ocr::decode_image({}).has_value());
}

}  // namespace
