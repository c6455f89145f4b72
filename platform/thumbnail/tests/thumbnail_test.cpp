#include "thumbnail/thumbnail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>
#include "pdf_fixture.h"

// Declared in the library (libstb) but not in stb_image_write.h without its implementation switch.
extern "C" int stbi_write_png(char const* filename, int w, int h, int comp, const void* data,
                              int stride_in_bytes);
extern "C" int stbi_write_jpg(char const* filename, int x, int y, int comp, const void* data, int quality);

namespace {

namespace fs = std::filesystem;

class ThumbnailTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("thumbnail-test-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path write(const std::string& name, const std::string& bytes) {
        auto path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path m_dir;
};

// A valid one-page PDF with the given media box and a filled dark rectangle; offsets computed.
std::string tiny_pdf(int width, int height, int pages = 1) {
    return test_pdf::with_pages(
        pages, [](int) { return std::string("0.1 0.2 0.6 rg 20 20 100 60 re f"); }, width, height);
}

std::vector<std::uint8_t> gradient(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = 128;
        }
    }
    return rgb;
}

void expect_rgba(const thumbnail::Image& image) {
    ASSERT_TRUE(image.rgba);
    EXPECT_EQ(image.rgba->size(), std::size_t{image.width} * image.height * 4);
}

TEST_F(ThumbnailTest, PdfFirstPageFitsTheLongerSide) {
    const auto path = write("letter.pdf", tiny_pdf(612, 792, 3));
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::pdf);
    auto image = thumbnail::generate(path, thumbnail::Category::pdf, 720);
    ASSERT_TRUE(image) << image.error();
    expect_rgba(*image);
    EXPECT_EQ(image->height, 720U);
    EXPECT_NEAR(image->width, 720.0 * 612 / 792, 2.0);
    EXPECT_EQ(image->pages, 3U) << "the page count goes with the picture";
    // The page is white paper with a blue rectangle near its bottom left corner.
    const auto& px = *image->rgba;
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[3], 255);
    const std::size_t y = image->height - 40 * 720 / 792, x = 60 * 720 / 792;
    const auto* blue = &px[(y * image->width + x) * 4];
    EXPECT_LT(blue[0], 60);
    EXPECT_GT(blue[2], 120);
}

TEST_F(ThumbnailTest, PagePastTheFirstAndPagesThatAreNot) {
    const auto path = write("three.pdf", tiny_pdf(612, 792, 3));
    auto third = thumbnail::generate(path, thumbnail::Category::pdf, 720, 2);
    ASSERT_TRUE(third) << third.error();
    expect_rgba(*third);
    EXPECT_EQ(third->pages, 3U);
    EXPECT_FALSE(thumbnail::generate(path, thumbnail::Category::pdf, 720, 3)) << "a fourth page";
    const auto text = write("note.txt", "one page of text\n");
    EXPECT_TRUE(thumbnail::generate(text, thumbnail::Category::text, 720, 0));
    EXPECT_FALSE(thumbnail::generate(text, thumbnail::Category::text, 720, 1));
}

TEST_F(ThumbnailTest, LandscapePdfFitsItsWidth) {
    auto image = thumbnail::generate(write("wide.pdf", tiny_pdf(842, 595)), thumbnail::Category::pdf, 720);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width, 720U);
    EXPECT_LT(image->height, 720U);
}

TEST_F(ThumbnailTest, PngIsScaledDownToTheLimit) {
    const auto path = m_dir / "large.png";
    const auto rgb = gradient(1600, 1000);
    ASSERT_NE(stbi_write_png(path.c_str(), 1600, 1000, 3, rgb.data(), 1600 * 3), 0);
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::image);
    auto image = thumbnail::generate(path, thumbnail::Category::image, 720);
    ASSERT_TRUE(image) << image.error();
    expect_rgba(*image);
    EXPECT_EQ(image->width, 720U);
    EXPECT_EQ(image->height, 450U);
    EXPECT_EQ(image->pages, 1U);
    EXPECT_EQ((*image->rgba)[3], 255);  // no alpha in the file: opaque
}

TEST_F(ThumbnailTest, SmallImageKeepsItsSize) {
    const auto path = m_dir / "small.png";
    const auto rgb = gradient(40, 30);
    ASSERT_NE(stbi_write_png(path.c_str(), 40, 30, 3, rgb.data(), 40 * 3), 0);
    auto image = thumbnail::generate(path, thumbnail::Category::image, 720);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 40U);
    EXPECT_EQ(image->height, 30U);
    EXPECT_EQ((*image->rgba)[0], rgb[0]);
}

TEST_F(ThumbnailTest, JpegIsDecoded) {
    const auto path = m_dir / "photo.jpg";
    const auto rgb = gradient(900, 1200);
    ASSERT_NE(stbi_write_jpg(path.c_str(), 900, 1200, 3, rgb.data(), 90), 0);
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::image);
    auto image = thumbnail::generate(path, thumbnail::Category::image, 720);
    ASSERT_TRUE(image) << image.error();
    expect_rgba(*image);
    EXPECT_EQ(image->height, 720U);
    EXPECT_EQ(image->width, 540U);
}

// A crafted Huffman table that counts more than 256 codes: the decoder would write past its tables
// (found by fuzzing); the file is refused before it is decoded, and a sound JPEG still passes.
TEST_F(ThumbnailTest, JpegWithAnOverfullHuffmanTableIsRefused) {
    const auto path = m_dir / "crafted.jpg";
    const auto rgb = gradient(64, 48);
    ASSERT_NE(stbi_write_jpg(path.c_str(), 64, 48, 3, rgb.data(), 90), 0);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    const auto table = bytes.find("\xff\xc4");
    ASSERT_NE(table, std::string::npos);
    ASSERT_TRUE(thumbnail::generate(path, thumbnail::Category::image, 720));
    for (std::size_t i = 0; i < 16; ++i) {
        bytes[table + 5 + i] = '\x20';  // 16 lengths of 32 codes each: 512
    }
    const auto crafted = write("crafted.jpg", bytes);
    const auto refused = thumbnail::generate(crafted, thumbnail::Category::image, 720);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "the image cannot be read");
}

TEST_F(ThumbnailTest, MagicBytesWinOverTheExtension) {
    const auto path = write("misnamed.txt", tiny_pdf(200, 200));
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::pdf);
}

TEST_F(ThumbnailTest, TextIsDrawnAsAPageWithInk) {
    std::string text;
    for (int i = 0; i < 80; ++i) {
        text +=
            "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\tand caf\xc3\xa9\n";
    }
    const auto path = write("notes.txt", text);
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::text);
    auto image = thumbnail::generate(path, thumbnail::Category::text, 720);
    ASSERT_TRUE(image) << image.error();
    expect_rgba(*image);
    EXPECT_EQ(image->height, 720U);
    EXPECT_LT(image->width, image->height);
    const auto& px = *image->rgba;
    const auto dark = std::count_if(px.begin(), px.end(), [](std::uint8_t v) { return v < 100; });
    EXPECT_GT(dark, 3000);                              // lines of text were drawn
    EXPECT_LT(dark, static_cast<long>(px.size() / 4));  // on a mostly white page
    EXPECT_EQ(px[0], 255);                              // the margin is paper

    // Non-ASCII text keeps its own letters: "Café €5" differs from both "Caf? ?5" and "Cafe E5".
    auto page_of = [&](const std::string& name, const std::string& line) {
        auto drawn = thumbnail::generate(write(name, line), thumbnail::Category::text, 720);
        return drawn ? *drawn->rgba : std::vector<std::uint8_t>{};
    };
    const auto accented = page_of("accented.txt",
                                  "Caf\xc3\xa9 \xe2\x82\xac"
                                  "5\n");
    ASSERT_FALSE(accented.empty());
    EXPECT_NE(accented, page_of("questioned.txt", "Caf? ?5\n"));
    EXPECT_NE(accented, page_of("plain.txt", "Cafe E5\n"));
}

TEST_F(ThumbnailTest, BinaryFileCalledTextFails) {
    const auto path = write("binary.txt", std::string("abc\0\x01\x02", 6));
    EXPECT_FALSE(thumbnail::generate(path, thumbnail::Category::text, 720));
}

TEST_F(ThumbnailTest, BrokenFilesFail) {
    EXPECT_FALSE(thumbnail::generate(write("broken.pdf", "%PDF-1.4\nnot really a pdf"),
                                     thumbnail::Category::pdf, 720));
    EXPECT_FALSE(thumbnail::generate(write("broken.png", "\x89PNG\r\n\x1a\n garbage"),
                                     thumbnail::Category::image, 720));
    EXPECT_FALSE(thumbnail::generate(m_dir / "missing.pdf", thumbnail::Category::pdf, 720));
    EXPECT_FALSE(thumbnail::generate(m_dir / "missing.txt", thumbnail::Category::text, 720));
}

TEST_F(ThumbnailTest, ImageClaimingAHugeSizeIsRefusedBeforeDecoding) {
    // A PNG header claiming 100000 × 100000 pixels with no data behind it.
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0", 29);
    png += std::string("\0\0\0\0", 4);
    auto result = thumbnail::generate(write("huge.png", png), thumbnail::Category::image, 720);
    ASSERT_FALSE(result);
}

TEST_F(ThumbnailTest, UnknownKindFails) {
    const auto path = write("archive.zip", "PK\x03\x04 something");
    EXPECT_EQ(thumbnail::category_for_path(path), thumbnail::Category::other);
    EXPECT_FALSE(thumbnail::generate(path, thumbnail::category_for_path(path), 720));
}

}  // namespace
