// Whole recognition with the real tesseract and its English and German data, on pages drawn with a real
// font, straight and tilted; and the presswick-ocr tool on PNG files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "bounded_command/bounded_command.h"
#include "ocr/ocr.h"
#include "ocr/temp_png.h"
#include "scoped_env.h"
#include "text_page.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ocr::GrayImage;
using ocr::OcrErrorKind;

using ocr::testing::ScopedEnv;

const std::vector<std::string> english = ocr::testing::english_lines(6);
const std::vector<std::string> german = {
    "Grüße aus München und Köln",        "Die Straße führt über die alte Brücke",
    "Äpfel und Öl für die Schüler",      "Wir danken Ihnen für Ihre Geduld",
    "Bitte senden Sie uns die Rechnung",
};

GrayImage page_of(const std::vector<std::string>& lines) {
    const ocr::testing::TextPage layout{
        .width = 1800, .height = 900, .pixel_height = 46.0F, .left = 120, .top = 120, .line_advance = 105};
    auto page = ocr::testing::render_text_page(layout, lines);
    EXPECT_TRUE(page.has_value()) << (page ? "" : page.error());
    return page ? *page : GrayImage{};
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Every test runs with a temporary directory of its own, which must be empty again afterwards.
class RealEngine : public testing::Test {
  protected:
    RealEngine()
        : m_tmp(fs::temp_directory_path() / ("presswick-ocr-it-" + std::to_string(::getpid()))),
          m_tmpdir("TMPDIR", (fs::create_directories(m_tmp), m_tmp.string())) {}
    ~RealEngine() override { fs::remove_all(m_tmp); }
    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(m_tmp)) << "a temporary file was left behind";
        int status = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
    const fs::path& tmp() const { return m_tmp; }

    std::vector<std::string> recognized_lines(const GrayImage& page, const char* language) {
        const auto output = ocr::recognize_page(page.view(), language);
        EXPECT_TRUE(output.has_value()) << (output ? "" : ocr::describe(output.error()));
        return output ? split_lines(ocr::join_words(output->words)) : std::vector<std::string>{};
    }

  private:
    fs::path m_tmp;
    ScopedEnv m_tmpdir;
};

// Turned so that the lines descend to the right by `degrees` (image coordinates, y downwards).
GrayImage descending(const GrayImage& page, double degrees) {
    return ocr::rotate_image(page, degrees);
}

GrayImage contrasted(GrayImage image) {
    ocr::raise_contrast(image);
    return image;
}

TEST_F(RealEngine, StraightEnglishPageIsReadInOrder) {
    EXPECT_EQ(recognized_lines(page_of(english), "eng"), english);
}

TEST_F(RealEngine, EnglishPageDescendingBy2DegreesIsStraightenedAndRead) {
    const GrayImage tilted = descending(page_of(english), 2.0);
    const auto angle = ocr::estimate_skew(contrasted(tilted));
    ASSERT_TRUE(angle.has_value());
    EXPECT_EQ(*angle, -2.0);
    EXPECT_EQ(recognized_lines(tilted, "eng"), english);
}

TEST_F(RealEngine, EnglishPageRisingBy2DegreesIsStraightenedAndRead) {
    const GrayImage tilted = descending(page_of(english), -2.0);
    const auto angle = ocr::estimate_skew(contrasted(tilted));
    ASSERT_TRUE(angle.has_value());
    EXPECT_EQ(*angle, 2.0);
    EXPECT_EQ(recognized_lines(tilted, "eng"), english);
}

TEST_F(RealEngine, ColourPageIsReadLikeAGrayOne) {
    const GrayImage page = page_of(english);
    const auto rgba = ocr::testing::to_rgba(page);
    const auto output =
        ocr::recognize_page(ocr::ImageView{rgba, page.width, page.height, ocr::PixelLayout::rgba}, "eng");
    ASSERT_TRUE(output.has_value()) << ocr::describe(output.error());
    EXPECT_EQ(split_lines(ocr::join_words(output->words)), english);
    EXPECT_EQ(output->language, "eng");
    for (const auto& word : output->words) {
        EXPECT_GT(word.confidence, 0.5F) << word.text;
        EXPECT_LE(word.left + word.width, page.width);
        EXPECT_LE(word.top + word.height, page.height);
    }
}

TEST_F(RealEngine, StraightGermanPageIsReadInOrder) {
    EXPECT_EQ(recognized_lines(page_of(german), "deu"), german);
}

TEST_F(RealEngine, GermanPageDescendingBy2DegreesIsStraightenedAndRead) {
    EXPECT_EQ(recognized_lines(descending(page_of(german), 2.0), "deu"), german);
}

TEST_F(RealEngine, TwoLanguagesJoinedArePassedAsOneCode) {
    EXPECT_EQ(recognized_lines(page_of(german), "deu+eng"), german);
}

TEST_F(RealEngine, BlankPageHasNoWords) {
    const GrayImage blank{1000, 800, std::vector<std::uint8_t>(1000 * 800, 255)};
    const auto output = ocr::recognize_page(blank.view(), "eng");
    ASSERT_TRUE(output.has_value()) << ocr::describe(output.error());
    EXPECT_TRUE(output->words.empty());
}

TEST_F(RealEngine, MissingLanguagePackIsAnEngineFailureWithItsMessage) {
    const auto output = ocr::recognize_page(page_of({"hello"}).view(), "qqq");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::engine_failed);
    EXPECT_NE(output.error().message.find("Failed loading language 'qqq'"), std::string::npos)
        << output.error().message;
}

TEST_F(RealEngine, EmptySearchPathMeansTheEngineIsMissing) {
    const ScopedEnv empty_path("PATH", "");
    const auto output = ocr::recognize_page(page_of(english).view(), "eng");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::engine_missing);
}

TEST_F(RealEngine, OversizedPageIsRefusedWithoutAFile) {
    const auto output = ocr::recognize_page(ocr::ImageView{{}, 10001, 100, ocr::PixelLayout::gray}, "eng");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::image_too_large);
}

// presswick-ocr run on files written here.
class Tool : public RealEngine {
  protected:
    fs::path write_png(const GrayImage& image) {
        const fs::path path = m_files / "page.png";
        const auto png = ocr::encode_gray_png(image);
        EXPECT_TRUE(png.has_value());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
        return path;
    }
    fs::path write_file(const std::string& content) {
        const fs::path path = m_files / "not-an-image.png";
        std::ofstream(path) << content;
        return path;
    }
    bounded_command::Output run(std::vector<std::string> args) {
        auto result = bounded_command::run_prepared_with_limits({PRESSWICK_OCR_TOOL, std::move(args), {}},
                                                                std::nullopt, 1 << 20, 1 << 16, 120s);
        EXPECT_TRUE(result.has_value());
        return result ? std::move(*result) : bounded_command::Output{};
    }
    static std::string text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

  private:
    // Beside the private temporary directory, which must stay empty.
    fs::path m_files = [this] {
        const fs::path dir = tmp().parent_path() / ("presswick-ocr-tool-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        return dir;
    }();

  public:
    ~Tool() override { fs::remove_all(m_files); }
};

TEST_F(Tool, PrintsTheTextOfAnImageFile) {
    const auto result = run({write_png(descending(page_of(english), 2.0)).string()});
    EXPECT_EQ(result.status.code, 0) << text(result.stderr_bytes);
    EXPECT_EQ(split_lines(text(result.stdout_bytes)), english);
}

TEST_F(Tool, PrintsOneWordALineWithBoxAndConfidence) {
    const auto result = run({"--words", write_png(page_of({"Hello presswick"})).string(), "eng"});
    EXPECT_EQ(result.status.code, 0) << text(result.stderr_bytes);
    const auto lines = split_lines(text(result.stdout_bytes));
    ASSERT_EQ(lines.size(), 2u);
    std::istringstream first(lines[0]);
    unsigned left = 0, top = 0, width = 0, height = 0;
    double confidence = 0;
    std::string word;
    first >> left >> top >> width >> height >> confidence >> word;
    EXPECT_EQ(word, "Hello");
    EXPECT_GT(width, 0u);
    EXPECT_GT(height, 0u);
    EXPECT_GT(confidence, 0.5);
    EXPECT_LE(confidence, 1.0);
    EXPECT_TRUE(lines[1].ends_with(" presswick")) << lines[1];
}

TEST_F(Tool, RefusesBadInputWithAClearMessage) {
    const auto usage = run({});
    EXPECT_EQ(usage.status.code, 2);
    EXPECT_NE(text(usage.stderr_bytes).find("usage: presswick-ocr"), std::string::npos);

    const auto missing = run({(tmp() / "no-such-file.png").string()});
    EXPECT_EQ(missing.status.code, 2);
    EXPECT_NE(text(missing.stderr_bytes).find("cannot open"), std::string::npos);

    const auto garbage = run({write_file("plain text").string()});
    EXPECT_EQ(garbage.status.code, 2);
    EXPECT_NE(text(garbage.stderr_bytes).find("is not an image"), std::string::npos);

    const auto language = run({write_file("x").string(), "en g"});
    EXPECT_EQ(language.status.code, 2);
    EXPECT_NE(text(language.stderr_bytes).find("not a language code"), std::string::npos);
}

TEST_F(Tool, ReportsAMissingEngine) {
    const ScopedEnv empty_path("PATH", "");
    const auto result = run({write_png(page_of({"Hello"})).string()});
    EXPECT_EQ(result.status.code, 1);
    EXPECT_NE(text(result.stderr_bytes).find("tesseract is not installed"), std::string::npos);
}

}  // namespace
