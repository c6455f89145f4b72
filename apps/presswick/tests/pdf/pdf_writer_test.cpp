// Exact bytes of write_pdf for the documented cases.
#include "pdf/pdf_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "pdf/placement.h"

#include "test_support.h"

namespace presswick::pdf {
namespace {

using testing::as_text;
using testing::inflate;
using testing::object_bodies;
using testing::stream_data;

const std::string k_font =
    "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

struct OwnedPage {
    std::vector<std::uint8_t> rgb;
    PdfPageInput input;
};

OwnedPage page(std::uint32_t width, std::uint32_t height, std::string text = {}) {
    OwnedPage owned;
    owned.rgb = testing::synthetic_page(width, height, width ^ height);
    owned.input = PdfPageInput{owned.rgb, std::move(text), width, height};
    return owned;
}

std::string write(std::vector<PdfPageInput> pages) {
    return as_text(write_pdf(pages));
}

// The content stream object of the only page.
std::string content_of(const PdfPageInput& input) {
    const auto bodies = object_bodies(write({input}));
    return bodies.size() == 6 ? bodies[3] : std::string{};
}

std::string content_line(std::string_view literal) {
    return "q 559 0 0 559 18 141.5 cm /Im0 Do Q\nBT /F1 10 Tf 3 Tr 18 18 Td (" + std::string(literal) +
           ") Tj ET\n";
}

TEST(PdfWriter, EmptyListGivesThe356ByteFileLineByLine) {
    const std::string file = write({});
    ASSERT_EQ(file.size(), 356u);
    const std::vector<std::pair<std::size_t, std::string>> lines = {
        {0, "%PDF-1.7"},
        {9, "\x25\xE2\xE3\xCF\xD3"},
        {15, "1 0 obj"},
        {23, k_font},
        {105, "endobj"},
        {112, "2 0 obj"},
        {120, "<< /Type /Pages /Count 0 /Kids [] >>"},
        {157, "endobj"},
        {164, "3 0 obj"},
        {172, "<< /Type /Catalog /Pages 2 0 R >>"},
        {206, "endobj"},
        {213, "xref"},
        {218, "0 4"},
        {222, "0000000000 65535 f "},
        {242, "0000000015 00000 n "},
        {262, "0000000112 00000 n "},
        {282, "0000000164 00000 n "},
        {302, "trailer"},
        {310, "<< /Size 4 /Root 3 0 R >>"},
        {336, "startxref"},
        {346, "213"},
        {350, "%%EOF"},
    };
    std::string expected;
    for (const auto& [offset, line] : lines) {
        EXPECT_EQ(expected.size(), offset) << line;
        EXPECT_EQ(file.substr(offset, line.size() + 1), line + "\n") << "at offset " << offset;
        expected += line + "\n";
    }
    EXPECT_EQ(file, expected);
}

TEST(PdfWriter, NoUsablePageGivesTheEmptyFile) {
    const std::vector<std::uint8_t> short_rgb(11, 0);
    const std::string empty = write({});
    EXPECT_EQ(write({PdfPageInput{short_rgb, "text", 2, 2}, PdfPageInput{{}, "", 0, 5},
                     PdfPageInput{short_rgb, "", 5, 0}}),
              empty);
}

TEST(PdfWriter, OnePageExactBytesApartFromTheCompressedData) {
    const OwnedPage p = page(1000, 1000);
    const std::string file = write({p.input});
    const auto bodies = object_bodies(file);
    ASSERT_EQ(bodies.size(), 6u);
    const std::string data = stream_data(bodies[2]);
    const auto pixels = inflate(data, p.rgb.size());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, p.rgb);

    // Every byte but the compressed ones, which any zlib-compatible encoder may choose differently.
    const std::vector<std::string> objects = {
        k_font,
        "<< /Type /Pages /Count 1 /Kids [5 0 R] >>",
        "<< /Length " + std::to_string(data.size()) +
            " /Type /XObject /Subtype /Image /Width 1000 /Height 1000 /ColorSpace /DeviceRGB "
            "/BitsPerComponent 8 /Filter /FlateDecode >>\nstream\n" +
            data + "\nendstream",
        "<< /Length 36 >>\nstream\nq 559 0 0 559 18 141.5 cm /Im0 Do Q\n\nendstream",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 1 0 R >> "
        "/XObject << /Im0 3 0 R >> >> /Contents 4 0 R >>",
        "<< /Type /Catalog /Pages 2 0 R >>",
    };
    std::string expected = "%PDF-1.7\n\x25\xE2\xE3\xCF\xD3\n";
    std::string xref = "xref\n0 7\n0000000000 65535 f \n";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", expected.size());
        xref += entry;
        expected += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref_offset = expected.size();
    expected +=
        xref + "trailer\n<< /Size 7 /Root 6 0 R >>\nstartxref\n" + std::to_string(xref_offset) + "\n%%EOF\n";
    EXPECT_EQ(file, expected);
}

TEST(PdfWriter, ContentStreamOfA1000By1000PageIs36Bytes) {
    const OwnedPage p = page(1000, 1000);
    const std::string content = content_of(p.input);
    EXPECT_EQ(stream_data(content), "q 559 0 0 559 18 141.5 cm /Im0 Do Q\n");
    EXPECT_EQ(stream_data(content).size(), 36u);
    EXPECT_EQ(content, "<< /Length 36 >>\nstream\nq 559 0 0 559 18 141.5 cm /Im0 Do Q\n\nendstream");
}

TEST(PdfWriter, PlacementLinesOfTheDocumentedSizes) {
    const std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string>> rows = {
        {1000, 1000, "q 559 0 0 559 18 141.5 cm /Im0 Do Q\n"},
        {100, 50, "q 559 0 0 279.5 18 281.25 cm /Im0 Do Q\n"},
        {640, 480, "q 559 0 0 419.25 18 211.375 cm /Im0 Do Q\n"},
        {2480, 3508, "q 559 0 0 790.7145161290323 18 25.642741935483855 cm /Im0 Do Q\n"},
        {1, 1, "q 559 0 0 559 18 141.5 cm /Im0 Do Q\n"},
    };
    for (const auto& [width, height, line] : rows) {
        const OwnedPage p = page(width, height);
        EXPECT_EQ(stream_data(content_of(p.input)), line) << width << " x " << height;
    }
}

TEST(PdfWriter, SkippedFirstPageNamesTheImageAfterItsPosition) {
    const std::vector<std::uint8_t> wrong(1000 * 1000 * 3 - 1, 0xFF);
    const OwnedPage good = page(640, 480);
    const auto bodies = object_bodies(write({PdfPageInput{wrong, "lost", 1000, 1000}, good.input}));
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_EQ(bodies[1], "<< /Type /Pages /Count 1 /Kids [5 0 R] >>");
    EXPECT_TRUE(bodies[2].starts_with("<< /Length ")) << bodies[2];
    EXPECT_NE(bodies[2].find(" /Width 640 /Height 480 "), std::string::npos);
    EXPECT_EQ(stream_data(bodies[3]), "q 559 0 0 419.25 18 211.375 cm /Im1 Do Q\n");
    EXPECT_EQ(bodies[4],
              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 1 0 R >> "
              "/XObject << /Im1 3 0 R >> >> /Contents 4 0 R >>");
    EXPECT_EQ(bodies[5], "<< /Type /Catalog /Pages 2 0 R >>");
}

TEST(PdfWriter, UnusablePagesOfEveryKindAreSkipped) {
    const std::vector<std::uint8_t> none;
    const OwnedPage good = page(4, 2);
    // Zero width, zero height, a product whose byte count overflows 64 bits, a length one too long.
    std::vector<std::uint8_t> long_rgb = good.rgb;
    long_rgb.push_back(0);
    const auto bodies = object_bodies(write({PdfPageInput{none, "", 0, 3}, PdfPageInput{none, "", 3, 0},
                                             PdfPageInput{none, "", 0xFFFFFFFFu, 0xFFFFFFFFu},
                                             PdfPageInput{long_rgb, "", 4, 2}, good.input}));
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_EQ(bodies[1], "<< /Type /Pages /Count 1 /Kids [5 0 R] >>");
    EXPECT_NE(bodies[3].find("/Im4 Do"), std::string::npos);
}

TEST(PdfWriter, PagesAreNumberedImageContentPageInOrder) {
    const OwnedPage a = page(10, 20, "first");
    const OwnedPage b = page(30, 10, "second");
    const std::string file = write({a.input, b.input});
    const auto bodies = object_bodies(file);
    ASSERT_EQ(bodies.size(), 9u);
    EXPECT_EQ(bodies[1], "<< /Type /Pages /Count 2 /Kids [5 0 R 8 0 R] >>");
    EXPECT_NE(bodies[4].find("/Contents 4 0 R"), std::string::npos);
    EXPECT_NE(bodies[4].find("/Im0 3 0 R"), std::string::npos);
    EXPECT_NE(bodies[7].find("/Contents 7 0 R"), std::string::npos);
    EXPECT_NE(bodies[7].find("/Im1 6 0 R"), std::string::npos);
    EXPECT_EQ(bodies[8], "<< /Type /Catalog /Pages 2 0 R >>");
    EXPECT_TRUE(file.ends_with("trailer\n<< /Size 10 /Root 9 0 R >>\nstartxref\n" +
                               std::to_string(file.rfind("xref\n0 10\n")) + "\n%%EOF\n"));
}

TEST(PdfWriter, TextConversionRowsInTheStringLiteral) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Hello (world)", "Hello \\(world\\)"},
        {"a\\b", "a\\\\b"},
        {"caf\xC3\xA9", "caf\xE9"},
        {"two\twords", "two words"},
        {"two\nwords", "two?words"},
        {"\xE2\x82\xAC", "?"},
    };
    for (const auto& [text, literal] : rows) {
        const OwnedPage p = page(1000, 1000, text);
        EXPECT_EQ(stream_data(content_of(p.input)), content_line(literal)) << text;
    }
}

TEST(PdfWriter, WordsAreLaidOverTheirBoxesLineByLine) {
    // 1000 x 1000 pixels shown at 0.559 points a pixel from (18, 141.5).
    OwnedPage p = page(1000, 1000,
                       "Total \xE2\x82\xAC"
                       "12\nPaid (cash)");
    const std::vector<PdfWord> words{{"Total", 100, 200, 250, 50, 0},
                                     {"\xE2\x82\xAC"
                                      "12",
                                      400, 190, 150, 60, 0},
                                     {"Paid", 100, 400, 200, 40, 1},
                                     {"(cash)", 350, 400, 300, 40, 1}};
    p.input.words = words;
    const std::string content = stream_data(content_of(p.input));
    // Line one spans pixels 190..250: 33.54 points high, so the size is 33.54 / 0.925.
    const std::string line_one_size = format_real(std::round(60 * 0.559 / 0.925 * 100) / 100);
    const double base_one = 141.5 + (1000 - 250) * 0.559 + 0.207 * (60 * 0.559 / 0.925);
    const auto tz = [](double box_px, double natural, double size) {
        return format_real(std::round(100 * box_px * 0.559 / (natural * size / 1000) * 100) / 100);
    };
    const double size_one = 60 * 0.559 / 0.925;
    const double size_two = 40 * 0.559 / 0.925;
    const double base_two = 141.5 + (1000 - 440) * 0.559 + 0.207 * size_two;
    const auto at = [](double v) {
        return format_real(std::round(v * 100) / 100);
    };
    const std::string expected = "q 559 0 0 559 18 141.5 cm /Im0 Do Q\nBT 3 Tr\n/F1 " + line_one_size +
                                 " Tf\n" + tz(250, 2223, size_one) + " Tz 1 0 0 1 " + at(18 + 100 * 0.559) +
                                 " " + at(base_one) + " Tm (Total ) Tj\n" + tz(150, 1668, size_one) +
                                 " Tz 1 0 0 1 " + at(18 + 400 * 0.559) + " " + at(base_one) +
                                 " Tm (\x80"
                                 "12) Tj\n/F1 " +
                                 at(size_two) + " Tf\n" + tz(200, 2001, size_two) + " Tz 1 0 0 1 " +
                                 at(18 + 100 * 0.559) + " " + at(base_two) + " Tm (Paid ) Tj\n" +
                                 tz(300, 2778, size_two) + " Tz 1 0 0 1 " + at(18 + 350 * 0.559) + " " +
                                 at(base_two) + " Tm (\\(cash\\)) Tj\nET\n";
    EXPECT_EQ(content, expected);
    // Without boxes the same page keeps its one line at the foot, byte for byte.
    p.input.words = {};
    EXPECT_EQ(stream_data(content_of(p.input)), content_line("Total ?12?Paid \\(cash\\)"));
}

TEST(PdfWriter, WordsWithNothingToDrawLeaveTheTextLine) {
    OwnedPage p = page(1000, 1000, "Hello");
    const std::vector<PdfWord> words{{"", 10, 10, 20, 20, 0}, {"x", 10, 10, 0, 20, 0}};
    p.input.words = words;
    EXPECT_EQ(stream_data(content_of(p.input)), content_line("Hello"));
}

TEST(PdfWriter, WhiteSpaceOnlyTextAddsNoTextBlock) {
    for (const std::string text : {"   ", "\n\n", " \n \n ", "\t\r\n", "\xC2\xA0\xE3\x80\x80"}) {
        const OwnedPage p = page(1000, 1000, text);
        EXPECT_EQ(content_of(p.input),
                  "<< /Length 36 >>\nstream\nq 559 0 0 559 18 141.5 cm /Im0 Do Q\n\nendstream");
    }
}

TEST(PdfWriter, SurroundingWhiteSpaceIsKeptWhenTextRemains) {
    const OwnedPage p = page(1000, 1000, "  Total: 12  \n");
    EXPECT_EQ(stream_data(content_of(p.input)), content_line("  Total: 12  ?"));
}

TEST(PdfWriter, LengthCountsTheDataNotTheLineFeedBeforeEndstream) {
    const OwnedPage p = page(1000, 1000, "x");
    const std::string content = content_of(p.input);
    const std::string data = stream_data(content);
    EXPECT_TRUE(content.starts_with("<< /Length " + std::to_string(data.size()) + " >>\nstream\n"));
    EXPECT_EQ(data.size(), 36u + 37u);  // the placement line, then "BT ... (x) Tj ET\n"
}

TEST(PdfWriter, SameBytesWhateverTheNumberOfThreads) {
    std::vector<OwnedPage> owned;
    for (std::uint32_t k = 0; k < 7; ++k) {
        owned.push_back(page(200 + 37 * k, 300 - 11 * k, "page " + std::to_string(k)));
    }
    std::vector<PdfPageInput> inputs;
    for (const auto& p : owned) {
        inputs.push_back(p.input);
    }
    inputs.insert(inputs.begin() + 3, PdfPageInput{{}, "skipped", 1, 1});
    const auto one = write_pdf(inputs, 1);
    for (const unsigned threads : {0u, 2u, 3u, 4u, 8u, 64u}) {
        EXPECT_EQ(write_pdf(inputs, threads), one) << threads << " threads";
    }
    EXPECT_EQ(write_pdf(inputs), one);

    // Every image inflates, with zlib, to its page's pixels.
    const auto bodies = object_bodies(as_text(one));
    ASSERT_EQ(bodies.size(), 3 + 3 * owned.size());
    for (std::size_t k = 0; k < owned.size(); ++k) {
        const auto pixels = inflate(stream_data(bodies[2 + 3 * k]), owned[k].rgb.size());
        ASSERT_TRUE(pixels) << k;
        EXPECT_EQ(*pixels, owned[k].rgb) << k;
    }
}

// RGBA pages (alpha dropped while compressing) give the very bytes of their RGB: pages of differing
// sizes, so a thread's reused buffer holds a larger page's leftovers, mixed with RGB pages.
TEST(PdfWriter, RgbaPagesGiveTheBytesOfTheirRgb) {
    std::vector<OwnedPage> owned;
    std::vector<std::vector<std::uint8_t>> rgba;
    for (std::uint32_t k = 0; k < 6; ++k) {
        owned.push_back(page(300 - 40 * k, 200 + 13 * k, "page " + std::to_string(k)));
        const auto& rgb = owned.back().rgb;
        auto& four = rgba.emplace_back();
        for (std::size_t i = 0; i < rgb.size(); i += 3) {
            four.insert(four.end(), {rgb[i], rgb[i + 1], rgb[i + 2], static_cast<std::uint8_t>(i * 7)});
        }
    }
    std::vector<PdfPageInput> as_rgb;
    std::vector<PdfPageInput> mixed;
    for (std::size_t k = 0; k < owned.size(); ++k) {
        as_rgb.push_back(owned[k].input);
        PdfPageInput input = owned[k].input;
        if (k % 3 != 1) {
            input.rgb = {};
            input.rgba = rgba[k];
        }
        mixed.push_back(input);
    }
    const auto expected = write_pdf(as_rgb, 1);
    for (const unsigned threads : {1u, 2u, 4u}) {
        EXPECT_EQ(write_pdf(mixed, threads), expected) << threads << " threads";
    }

    // An RGBA length that does not match leaves the page out, as a wrong RGB length does.
    std::vector<std::uint8_t> short_rgba(rgba[0].begin(), rgba[0].end() - 4);
    PdfPageInput bad = owned[0].input;
    bad.rgb = {};
    bad.rgba = short_rgba;
    const auto bodies = object_bodies(write({bad, owned[1].input}));
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_NE(bodies[3].find("/Im1 Do"), std::string::npos);
}

}  // namespace
}  // namespace presswick::pdf
