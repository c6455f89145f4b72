// The engine run and the whole recognition against a stand-in `tesseract` found on PATH.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "ocr/ocr.h"
#include "ocr/temp_png.h"
#include "scoped_env.h"
#include "text_page.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ocr::OcrError;
using ocr::OcrErrorKind;

using ocr::testing::ScopedEnv;

fs::path make_private_dir(const char* name) {
    const fs::path dir = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::size_t entries_in(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// The stand-in engine is the only `tesseract` on PATH; temporary files go to a directory of our own.
class FakeEngine : public testing::Test {
  protected:
    FakeEngine()
        : m_bin(make_private_dir("presswick-fake-bin")),
          m_tmp(make_private_dir("presswick-fake-tmp")),
          m_path("PATH", m_bin.string()),
          m_tmpdir("TMPDIR", m_tmp.string()) {
        fs::create_symlink(FAKE_TESSERACT, m_bin / "tesseract");
    }
    ~FakeEngine() override {
        fs::remove_all(m_bin);
        fs::remove_all(m_tmp);
    }
    void TearDown() override {
        // Every run leaves the temporary directory as it found it, and no child behind.
        EXPECT_EQ(entries_in(m_tmp), m_files_kept);
        int status = 0;
        EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }

    // An image file for run_engine; it counts as one the test keeps.
    fs::path image_file() {
        const fs::path path = m_tmp / "page.png";
        std::ofstream(path) << "not a real image";
        m_files_kept = 1;
        return path;
    }

    const fs::path& tmp() const { return m_tmp; }

  private:
    fs::path m_bin;
    fs::path m_tmp;
    ScopedEnv m_path;
    ScopedEnv m_tmpdir;
    std::size_t m_files_kept = 0;
};

std::vector<std::string> texts_of(const ocr::OcrOutput& output) {
    std::vector<std::string> texts;
    for (const auto& word : output.words) {
        texts.push_back(word.text);
    }
    return texts;
}

OcrError failed(std::string message) {
    return OcrError{OcrErrorKind::engine_failed, std::move(message), {}};
}

ocr::GrayImage small_page() {
    return ocr::GrayImage{64, 48, std::vector<std::uint8_t>(64 * 48, 255)};
}

TEST_F(FakeEngine, CommandLineAndEnvironmentAreFixed) {
    const fs::path image = image_file();
    // The engine needs nothing of the session, and gains no privileges from the program it runs.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
    const auto output = ocr::run_engine(image, "echo");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(output.has_value()) << ocr::describe(output.error());
    EXPECT_EQ(texts_of(*output),
              (std::vector<std::string>{image.string(), "stdout", "-l", "echo", "tsv", "OMP=1", "not-png",
                                        "stdin=0", "nnp=1", "bus=unset"}));
    EXPECT_EQ(output->language, "echo");
}

TEST_F(FakeEngine, PathWithSpacesIsOneArgument) {
    const fs::path image = tmp() / "a page; $(rm -rf x).png";
    std::ofstream(image) << "x";
    const auto output = ocr::run_engine(image, "echo");
    fs::remove(image);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->words.front().text, image.string());
}

TEST_F(FakeEngine, WordsAreParsedAndOrdered) {
    const auto output = ocr::run_engine(image_file(), "words");
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(texts_of(*output), (std::vector<std::string>{"Hello", "world", "second"}));
    EXPECT_EQ(ocr::join_words(output->words), "Hello world\nsecond");
    EXPECT_FLOAT_EQ(output->words[1].confidence, 0.9325F);
}

TEST_F(FakeEngine, InvalidLanguageIsRefusedBeforeRunning) {
    const auto output = ocr::run_engine(image_file(), "-echo");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::invalid_language);
}

TEST_F(FakeEngine, StandardOutputFloodFails) {
    const auto output = ocr::run_engine(image_file(), "flood_out");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("OCR output exceeded the safety limit"));
}

TEST_F(FakeEngine, StandardErrorFloodFails) {
    const auto output = ocr::run_engine(image_file(), "flood_err");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("OCR diagnostics exceeded the safety limit"));
}

TEST_F(FakeEngine, SlowEngineTimesOut) {
    const auto output = ocr::run_engine(image_file(), "sleep", ocr::EngineLimits{.time = 300ms});
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("OCR engine timed out"));
}

TEST_F(FakeEngine, FailureCarriesTheCleanedDiagnostic) {
    const auto output =
        ocr::run_engine(image_file(), "fail_long", ocr::EngineLimits{.stderr_bytes = 64 * 1024});
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::engine_failed);
    const std::string& message = output.error().message;
    EXPECT_TRUE(message.starts_with("Error: bad page\tnow\nError: bad")) << message;
    std::size_t chars = 0;
    for (const unsigned char c : message) {
        chars += (c & 0xC0) != 0x80 ? 1 : 0;
        EXPECT_TRUE(c >= 0x20 || c == '\t' || c == '\n') << static_cast<int>(c);
        EXPECT_NE(c, 0x7F);
    }
    EXPECT_EQ(chars, 500u);
}

TEST_F(FakeEngine, LongDiagnosticWithinTheRealLimitIsStillBounded) {
    // 200 lines are more than 4096 bytes: with the real limits this is a diagnostics flood.
    const auto output = ocr::run_engine(image_file(), "fail_long");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("OCR diagnostics exceeded the safety limit"));
}

TEST_F(FakeEngine, SilentFailureHasAnEmptyMessage) {
    const auto output = ocr::run_engine(image_file(), "fail_quiet");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed(""));
}

TEST_F(FakeEngine, EngineKilledBySignalFailsWithItsDiagnostic) {
    const auto output = ocr::run_engine(image_file(), "crash");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("about to abort"));
}

TEST_F(FakeEngine, MissingLanguagePackIsAnEngineFailure) {
    const auto output = ocr::run_engine(image_file(), "xyz");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error(), failed("Failed loading language 'xyz'"));
}

TEST_F(FakeEngine, InvalidUtf8IsReplaced) {
    const auto output = ocr::run_engine(image_file(), "bad_utf8");
    ASSERT_TRUE(output.has_value());
    ASSERT_EQ(output->words.size(), 1u);
    EXPECT_EQ(output->words[0].text, "caf\xEF\xBF\xBD");
}

TEST_F(FakeEngine, RecognizePageHandsOverAGrayPngAndRemovesIt) {
    const auto rgba = ocr::testing::to_rgba(small_page());
    const auto output = ocr::recognize_page(ocr::ImageView{rgba, 64, 48, ocr::PixelLayout::rgba}, "echo");
    ASSERT_TRUE(output.has_value()) << ocr::describe(output.error());
    const fs::path handed = output->words.at(0).text;
    EXPECT_EQ(handed.parent_path(), tmp());
    const std::string name = handed.filename().string();
    ASSERT_EQ(name.size(), 14u) << name;
    EXPECT_TRUE(name.starts_with(".tmp")) << name;
    EXPECT_TRUE(name.ends_with(".png")) << name;
    for (std::size_t i = 4; i < 10; ++i) {
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(name[i]))) << name;
    }
    EXPECT_EQ(output->words.at(6).text, "png");
    EXPECT_FALSE(fs::exists(handed));
}

TEST_F(FakeEngine, RecognizePageRemovesTheFileOnEveryEngineFailure) {
    const auto page = small_page();
    for (const char* mode : {"flood_out", "flood_err", "fail_long", "fail_quiet", "crash", "xyz"}) {
        const auto output = ocr::recognize_page(page.view(), mode);
        ASSERT_FALSE(output.has_value()) << mode;
        EXPECT_EQ(output.error().kind, OcrErrorKind::engine_failed) << mode;
        EXPECT_EQ(entries_in(tmp()), 0u) << mode;
    }
}

TEST_F(FakeEngine, RecognizePageChecksTheLanguageBeforeTheImage) {
    const ocr::ImageView oversized{{}, 10001, 10, ocr::PixelLayout::gray};
    const auto output = ocr::recognize_page(oversized, "not valid");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::invalid_language);
    const auto too_large = ocr::recognize_page(oversized, "echo");
    ASSERT_FALSE(too_large.has_value());
    EXPECT_EQ(too_large.error().kind, OcrErrorKind::image_too_large);
}

TEST_F(FakeEngine, MissingEngineLeavesNoFile) {
    const ScopedEnv empty_path("PATH", "");
    const auto output = ocr::recognize_page(small_page().view(), "eng");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::engine_missing);
    EXPECT_EQ(entries_in(tmp()), 0u);
}

TEST_F(FakeEngine, UnusableTemporaryDirectoryIsAnIoFailure) {
    const ScopedEnv no_dir("TMPDIR", (tmp() / "missing").string());
    const auto output = ocr::recognize_page(small_page().view(), "echo");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::io_failure);
}

TEST_F(FakeEngine, ConcurrentRecognitionsUseTheirOwnFiles) {
    std::vector<std::thread> threads;
    std::vector<std::string> handed(4);
    for (std::size_t i = 0; i < handed.size(); ++i) {
        threads.emplace_back([&handed, i] {
            const auto output = ocr::recognize_page(small_page().view(), "echo");
            handed[i] = output ? output->words.at(0).text : "failed";
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(std::unique(handed.begin(), handed.end()), handed.end());
    EXPECT_EQ(std::count(handed.begin(), handed.end(), "failed"), 0);
}

TEST(EngineMessage, TrimsDropsControlsAndKeeps500Characters) {
    const auto bytes = [](std::string_view text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    EXPECT_EQ(ocr::engine_message(bytes("  \r\n Error\r\x01\x1b[0m here\t\n \n")), "Error[0m here");
    EXPECT_EQ(ocr::engine_message(bytes("a\xc2\x85"
                                        "b\xc2\x9f"
                                        "c\xc2\xa0"
                                        "d")),
              "abc\xc2\xa0"
              "d");
    EXPECT_EQ(ocr::engine_message(bytes("\xff"
                                        "x\xe2\x82")),
              "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(ocr::engine_message(bytes("")), "");
    // Characters, not bytes: 600 two-byte letters keep 500 letters.
    std::string umlauts;
    for (int i = 0; i < 600; ++i) {
        umlauts += "ä";
    }
    EXPECT_EQ(ocr::engine_message(bytes(umlauts)).size(), 1000u);
}

TEST(EngineCommand, IsTheDocumentedCommandLine) {
    const auto command = ocr::engine_command("/tmp/.tmpAbC123.png", "deu");
    EXPECT_EQ(command.program, "tesseract");
    EXPECT_EQ(command.args, (std::vector<std::string>{"/tmp/.tmpAbC123.png", "stdout", "-l", "deu", "tsv"}));
    EXPECT_EQ(command.environment,
              (std::vector<std::pair<std::string, std::string>>{{"OMP_THREAD_LIMIT", "1"}}));
    EXPECT_TRUE(command.confinement.no_new_privileges);
    EXPECT_TRUE(command.confinement.dies_with_us);
    ASSERT_TRUE(command.confinement.kept_environment.has_value());
    for (const char* name :
         {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"}) {
        EXPECT_EQ(std::ranges::count(*command.confinement.kept_environment, std::string(name)), 0) << name;
    }
}

}  // namespace
