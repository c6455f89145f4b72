// Files from write_pdf checked by tools nobody here wrote: qpdf and poppler-utils.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "pdf/pdf_writer.h"
#include "pdf/placement.h"
#include "test_support.h"

extern char** environ;

namespace presswick::pdf {
namespace {

struct ToolResult {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Runs a program found on PATH, without a shell, and collects what it prints.
ToolResult run_tool(std::vector<std::string> args) {
    ToolResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned == 0) {
        char chunk[4096];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
            result.output.append(chunk, static_cast<std::size_t>(n));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(fds[0]);
    return result;
}

// A directory of its own under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "presswick-pdf-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

std::string trimmed(std::string text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\n' || c == '\f' || c == '\r';
    };
    while (!text.empty() && blank(text.back())) {
        text.pop_back();
    }
    std::size_t start = 0;
    while (start < text.size() && blank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct Document {
    std::vector<std::vector<std::uint8_t>> rgb;
    std::vector<PdfPageInput> pages;
    std::vector<std::string> expected_text;  // as pdftotext gives it back, in UTF-8
};

Document document(std::uint32_t count) {
    Document doc;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t width = 320 + 41 * k;
        const std::uint32_t height = 450 + 23 * k;
        doc.rgb.push_back(testing::synthetic_page(width, height, k + 1));
        const std::string n = std::to_string(k + 1);
        // A line break and the euro sign are outside the table; the rest survives the round trip.
        doc.pages.push_back(PdfPageInput{
            doc.rgb.back(),
            "Page " + n + ": caf\xC3\xA9 \xE2\x80\x94 (net) \xE2\x82\xAC" + n + "\nline two \\ done", width,
            height});
        doc.expected_text.push_back("Page " + n + ": caf\xC3\xA9 \xE2\x80\x94 (net) ?" + n +
                                    "?line two \\ done");
    }
    return doc;
}

class PdfTools : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(PdfTools, QpdfAndPopplerReadTheFile) {
    const std::uint32_t count = GetParam();
    const Document doc = document(count);
    const TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string file = (dir.path() / "scanned.pdf").string();
    {
        const auto bytes = write_pdf(doc.pages);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }

    const ToolResult check = run_tool({"qpdf", "--check", file});
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos)
        << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;

    const ToolResult info = run_tool({"pdfinfo", "-f", "1", "-l", std::to_string(count), file});
    EXPECT_EQ(info.status, 0) << info.output;
    // pdfinfo aligns its columns with a varying number of spaces.
    EXPECT_TRUE(std::regex_search(info.output, std::regex("\nPages: +" + std::to_string(count) + "\n")))
        << info.output;
    for (std::uint32_t k = 1; k <= count; ++k) {
        const std::regex size("\nPage +" + std::to_string(k) + " size: +595 x 842 pts \\(A4\\)\n");
        EXPECT_TRUE(std::regex_search(info.output, size)) << "page " << k << "\n" << info.output;
    }

    const ToolResult images = run_tool({"pdfimages", "-list", file});
    EXPECT_EQ(images.status, 0) << images.output;
    const auto rows = lines_of(images.output);
    ASSERT_EQ(rows.size(), 2 + count) << images.output;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::istringstream row(rows[2 + k]);
        std::uint32_t page = 0, num = 0, width = 0, height = 0, comp = 0, bpc = 0;
        std::string type, color;
        row >> page >> num >> type >> width >> height >> color >> comp >> bpc;
        EXPECT_EQ(page, k + 1) << rows[2 + k];
        EXPECT_EQ(type, "image");
        EXPECT_EQ(width, doc.pages[k].width);
        EXPECT_EQ(height, doc.pages[k].height);
        EXPECT_EQ(color, "rgb");
        EXPECT_EQ(comp, 3u);
        EXPECT_EQ(bpc, 8u);
    }

    for (std::uint32_t k = 1; k <= count; ++k) {
        const std::string n = std::to_string(k);
        const ToolResult text = run_tool({"pdftotext", "-enc", "UTF-8", "-f", n, "-l", n, file, "-"});
        EXPECT_EQ(text.status, 0) << text.output;
        EXPECT_EQ(trimmed(text.output), doc.expected_text[k - 1]) << "page " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(PageCounts, PdfTools, ::testing::Values(1u, 3u, 10u));

// One word as pdftotext -bbox reports it: points from the page's top left corner.
struct FoundWord {
    std::string text;
    double x_min = 0, y_min = 0, x_max = 0, y_max = 0;
};

std::vector<FoundWord> bbox_words(const std::string& html) {
    std::vector<FoundWord> found;
    const std::regex word(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        found.push_back({m[5].str(), std::stod(m[1].str()), std::stod(m[2].str()), std::stod(m[3].str()),
                         std::stod(m[4].str())});
    }
    return found;
}

TEST(PdfWordLayer, PopplerFindsEveryWordInItsBoxAndEveryLineInOrder) {
    // An A4 page at 150 dpi with five lines; the third is far longer than the old single line could hold.
    const std::uint32_t width = 1240, height = 1754;
    const auto rgb = testing::synthetic_page(width, height, 7);
    const std::vector<std::string> lines{
        "Invoice 2026-117", "Acme Supplies Ltd.",
        "Paper, toner, staples and envelopes for the office, delivered on Tuesday before noon as agreed",
        "Total \xE2\x82\xAC"
        "412.50 \xC5\xA0koda",
        "Thank you"};
    std::vector<PdfWord> words;
    std::string text;
    for (std::uint32_t l = 0; l < lines.size(); ++l) {
        std::istringstream in(lines[l]);
        std::uint32_t left = 90;
        const std::uint32_t top = 120 + l * 160 + (l % 2) * 7;
        for (std::string w; in >> w;) {
            // Boxes of a plausible scan: 10 to 16 pixels a character (the long line narrower, to fit),
            // 38 to 46 pixels high.
            const std::uint32_t per_char = l == 2 ? 10 : 14 + l % 3;
            const auto box_width = static_cast<std::uint32_t>(w.size()) * per_char;
            words.push_back(
                {w, left, top + static_cast<std::uint32_t>(w.size() % 3), box_width, 38 + l * 2, l});
            left += box_width + (l == 2 ? 12 : 22);
        }
        text += (l ? "\n" : "") + lines[l];
    }
    PdfPageInput page{rgb, text, width, height};
    page.words = words;
    const TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string file = (dir.path() / "words.pdf").string();
    {
        const auto bytes = write_pdf(std::vector{page});
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    EXPECT_EQ(run_tool({"qpdf", "--check", file}).status, 0);

    const ToolResult plain = run_tool({"pdftotext", "-enc", "UTF-8", file, "-"});
    ASSERT_EQ(plain.status, 0) << plain.output;
    std::vector<std::string> got;
    for (auto& line : lines_of(plain.output)) {
        if (!trimmed(line).empty()) {
            got.push_back(trimmed(line));
        }
    }
    EXPECT_EQ(got, lines) << plain.output;

    const ToolResult boxed = run_tool({"pdftotext", "-enc", "UTF-8", "-bbox", file, "-"});
    ASSERT_EQ(boxed.status, 0) << boxed.output;
    const auto found = bbox_words(boxed.output);
    ASSERT_EQ(found.size(), words.size()) << boxed.output;
    const Placement p = placement_for(width, height);
    const double scale = p.sw / width;
    const double top_margin = 842 - p.y - p.sh;
    double worst = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto& w = words[i];
        std::uint32_t line_top = height, line_bottom = 0;
        for (const auto& other : words) {
            if (other.line == w.line) {
                line_top = std::min(line_top, other.top);
                line_bottom = std::max(line_bottom, other.top + other.height);
            }
        }
        EXPECT_EQ(found[i].text, w.text) << "reading order";
        const double errors[] = {std::abs(found[i].x_min - (p.x + w.left * scale)),
                                 std::abs(found[i].x_max - (p.x + (w.left + w.width) * scale)),
                                 std::abs(found[i].y_min - (top_margin + line_top * scale)),
                                 std::abs(found[i].y_max - (top_margin + line_bottom * scale))};
        for (const double e : errors) {
            worst = std::max(worst, e);
        }
    }
    EXPECT_LT(worst, 0.5) << "points";
    std::cout << "largest distance of a word's edge from its box: " << worst << " pt\n";
}

}  // namespace
}  // namespace presswick::pdf
