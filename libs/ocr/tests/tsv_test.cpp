#include <gtest/gtest.h>

#include <string>

#include "ocr/tsv.h"

namespace {

using ocr::OcrErrorKind;
using ocr::OcrWord;
using ocr::parse_engine_tsv;

const std::string header =
    "level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\theight\tconf\ttext\n";

// A word row with the given order key, box and confidence.
std::string row(std::string keys, std::string box = "10\t20\t30\t40", std::string conf = "96.5",
                std::string text = "word", std::string level = "5") {
    return level + "\t" + keys + "\t" + box + "\t" + conf + "\t" + text + "\n";
}

std::vector<OcrWord> words_of(const std::string& text) {
    auto output = parse_engine_tsv(text, "eng");
    EXPECT_TRUE(output.has_value());
    return output ? output->words : std::vector<OcrWord>{};
}

TEST(ParseEngineTsv, HeaderOnlyOrEmptyGivesNoWords) {
    EXPECT_TRUE(words_of(header).empty());
    EXPECT_TRUE(words_of("").empty());
    EXPECT_EQ(ocr::join_words({}), "");
}

TEST(ParseEngineTsv, FirstLineIsAlwaysTheHeader) {
    // Even a well-formed word row in the first line is not read.
    EXPECT_TRUE(words_of(row("1\t1\t1\t1\t1")).empty());
}

TEST(ParseEngineTsv, ReadsAWordRow) {
    const auto words = words_of(header + row("1\t2\t3\t4\t5", "10\t20\t30\t40", "96.5", "  Hello\t"));
    // The tab inside the text field makes 13 fields: that row is skipped.
    EXPECT_TRUE(words.empty());

    const auto one = words_of(header + row("1\t2\t3\t4\t5", "10\t20\t30\t40", "96.5", " Hello "));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], (OcrWord{.text = "Hello",
                               .left = 10,
                               .top = 20,
                               .width = 30,
                               .height = 40,
                               .confidence = 0.965F,
                               .page = 1,
                               .block = 2,
                               .paragraph = 3,
                               .line = 4,
                               .word = 5}));
}

TEST(ParseEngineTsv, SkipsRowsAboveTheWordLevel) {
    std::string text = header;
    for (const char* level : {"1", "2", "3", "4"}) {
        text += row("1\t1\t1\t1\t0", "0\t0\t2480\t3508", "-1", "", level);
        text += row("1\t1\t1\t1\t0", "0\t0\t2480\t3508", "95", "text", level);
    }
    text += row("1\t1\t1\t1\t1", "1\t1\t1\t1", "90", "x", "05");
    text += row("1\t1\t1\t1\t1", "1\t1\t1\t1", "90", "x", " 5");
    EXPECT_TRUE(words_of(text).empty());
}

TEST(ParseEngineTsv, ConfidenceIsScaledClampedAndChecked) {
    const auto words =
        words_of(header + row("1\t1\t1\t1\t1", "0\t0\t1\t1", "-1") +
                 row("1\t1\t1\t1\t2", "0\t0\t1\t1", "96.5") + row("1\t1\t1\t1\t3", "0\t0\t1\t1", "250") +
                 row("1\t1\t1\t1\t4", "0\t0\t1\t1", "0") + row("1\t1\t1\t1\t5", "0\t0\t1\t1", "-0") +
                 row("1\t1\t1\t1\t6", "0\t0\t1\t1", "nan") + row("1\t1\t1\t1\t7", "0\t0\t1\t1", "inf") +
                 row("1\t1\t1\t1\t8", "0\t0\t1\t1", "abc") + row("1\t1\t1\t1\t9", "0\t0\t1\t1", "") +
                 row("1\t1\t1\t1\t10", "0\t0\t1\t1", "1e2") + row("1\t1\t1\t1\t11", "0\t0\t1\t1", "-0.5") +
                 row("1\t1\t1\t1\t12", "0\t0\t1\t1", "+50") + row("1\t1\t1\t1\t13", "0\t0\t1\t1", " 50") +
                 row("1\t1\t1\t1\t14", "0\t0\t1\t1", "1e-60") + row("1\t1\t1\t1\t15", "0\t0\t1\t1", "1e60"));
    std::vector<std::pair<std::uint32_t, float>> seen;
    for (const auto& word : words) {
        seen.emplace_back(word.word, word.confidence);
    }
    const std::vector<std::pair<std::uint32_t, float>> expected = {
        {2, 0.965F}, {3, 1.0F}, {4, 0.0F}, {5, 0.0F}, {10, 1.0F}, {12, 0.5F}, {14, 0.0F}};
    EXPECT_EQ(seen, expected);
}

TEST(ParseEngineTsv, BoxesMustBeNonEmptyAndFit) {
    const auto words = words_of(
        header + row("1\t1\t1\t1\t1", "0\t0\t0\t5") + row("1\t1\t1\t1\t2", "0\t0\t5\t0") +
        row("1\t1\t1\t1\t3", "4294967295\t0\t1\t1") + row("1\t1\t1\t1\t4", "4294967294\t4294967294\t1\t1") +
        row("1\t1\t1\t1\t5", "0\t4294967295\t1\t1") + row("1\t1\t1\t1\t6", "0\t0\t4294967295\t4294967295"));
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].word, 4u);
    EXPECT_EQ(words[1].word, 6u);
}

TEST(ParseEngineTsv, NumbersAreUnsignedDecimals) {
    const auto words = words_of(
        header + row("+12\t1\t1\t1\t1") + row("-12\t1\t1\t1\t2") + row("1 \t1\t1\t1\t3") +
        row("\t1\t1\t1\t4") + row("+\t1\t1\t1\t5") + row("4294967296\t1\t1\t1\t6") + row("0x1\t1\t1\t1\t7") +
        row("4294967295\t1\t1\t1\t8") + row("1\t1\t1\t1\t+") + row("007\t1\t1\t1\t9"));
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].page, 7u);
    EXPECT_EQ(words[0].word, 9u);
    EXPECT_EQ(words[1].page, 12u);
    EXPECT_EQ(words[2].page, 4294967295u);
}

TEST(ParseEngineTsv, FieldCountMustBeTwelve) {
    const std::string eleven = "5\t1\t1\t1\t1\t1\t0\t0\t1\t1\tword\n";
    const std::string thirteen = "5\t1\t1\t1\t1\t1\t0\t0\t1\t1\t90\tword\textra\n";
    EXPECT_TRUE(words_of(header + eleven + thirteen + "\n\n").empty());
}

TEST(ParseEngineTsv, LineEndsWithCarriageReturnAndLastLineWithoutFeed) {
    const std::string crlf_header =
        "level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\theight\tconf\ttext\r\n";
    const auto words = words_of(crlf_header + "5\t1\t1\t1\t1\t1\t0\t0\t1\t1\t90\tfirst\r\n" +
                                "5\t1\t1\t1\t1\t2\t0\t0\t1\t1\t90\tlast");
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].text, "first");
    EXPECT_EQ(words[1].text, "last");
}

TEST(ParseEngineTsv, TextIsTrimmedOfUnicodeWhiteSpace) {
    const auto words =
        words_of(header + row("1\t1\t1\t1\t1", "0\t0\t1\t1", "90", "\xC2\xA0\xE3\x80\x80Grüße\xE2\x80\x83") +
                 row("1\t1\t1\t1\t2", "0\t0\t1\t1", "90", " \xC2\xA0 ") +
                 row("1\t1\t1\t1\t3", "0\t0\t1\t1", "90", "a b"));
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].text, "Grüße");
    EXPECT_EQ(words[1].text, "a b");
}

TEST(ParseEngineTsv, UndecodedBytesAreKeptAsTheyAre) {
    // Callers decode first; raw bytes must still not break the trimming (found by the fuzz target).
    const auto words = words_of(header + row("1\t1\t1\t1\t1", "0\t0\t1\t1", "90", "\xC2") +
                                row("1\t1\t1\t1\t2", "0\t0\t1\t1", "90", " a\xE2\x80") +
                                row("1\t1\t1\t1\t3", "0\t0\t1\t1", "90", "\x80\x80 \xC2\xA0"));
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, "\xC2");
    EXPECT_EQ(words[1].text, "a\xE2\x80");
    EXPECT_EQ(words[2].text, "\x80\x80");
}

TEST(ParseEngineTsv, TextFieldOfMoreThan4096BytesIsSkipped) {
    const auto words = words_of(header + row("1\t1\t1\t1\t1", "0\t0\t1\t1", "90", std::string(4096, 'a')) +
                                row("1\t1\t1\t1\t2", "0\t0\t1\t1", "90", std::string(4097, 'b')) +
                                row("1\t1\t1\t1\t3", "0\t0\t1\t1", "90", " " + std::string(4095, 'c') + " "));
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].word, 1u);
}

TEST(ParseEngineTsv, WordsComeOutInOrderOfTheirKeysStably) {
    const auto words = words_of(header + row("1\t1\t1\t1\t2", "0\t0\t1\t1", "90", "second") +
                                row("1\t1\t1\t1\t1", "0\t0\t1\t1", "90", "first") +
                                row("2\t1\t1\t1\t1", "0\t0\t1\t1", "90", "later-page") +
                                row("1\t10\t1\t1\t1", "0\t0\t1\t1", "90", "block-ten") +
                                row("1\t2\t1\t1\t1", "0\t0\t1\t1", "90", "tie-a") +
                                row("1\t2\t1\t1\t1", "0\t0\t1\t1", "90", "tie-b"));
    std::vector<std::string> texts;
    for (const auto& word : words) {
        texts.push_back(word.text);
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{"first", "second", "tie-a", "tie-b", "block-ten", "later-page"}));
}

TEST(ParseEngineTsv, InvalidLanguageIsRefusedFirst) {
    const auto output = parse_engine_tsv(std::string(20'000'000, 'x'), "e ng");
    ASSERT_FALSE(output.has_value());
    EXPECT_EQ(output.error().kind, OcrErrorKind::invalid_language);
}

TEST(ParseEngineTsv, LanguageIsCopiedIntoTheOutput) {
    const auto output = parse_engine_tsv(header, "eng+deu");
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->language, "eng+deu");
}

TEST(ParseEngineTsv, TextOverTheOutputLimitFails) {
    const std::string exact = header + std::string(ocr::max_engine_output_bytes - header.size(), '\n');
    EXPECT_TRUE(parse_engine_tsv(exact, "eng").has_value());
    const auto over = parse_engine_tsv(exact + "\n", "eng");
    ASSERT_FALSE(over.has_value());
    EXPECT_EQ(over.error(),
              (ocr::OcrError{OcrErrorKind::engine_failed, "OCR output exceeded the safety limit", {}}));
}

TEST(ParseEngineTsv, The250001stWordFailsThePage) {
    std::string text = header;
    const std::string one = row("1\t1\t1\t1\t1", "0\t0\t1\t1", "90", "w");
    text.reserve(header.size() + one.size() * 250'001);
    for (int i = 0; i < 250'000; ++i) {
        text += one;
    }
    const auto full = parse_engine_tsv(text, "eng");
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->words.size(), 250'000u);
    // Rows that are skipped do not count.
    text += row("1\t1\t1\t1\t1", "0\t0\t0\t1", "90", "w");
    EXPECT_TRUE(parse_engine_tsv(text, "eng").has_value());
    text += one;
    const auto over = parse_engine_tsv(text, "eng");
    ASSERT_FALSE(over.has_value());
    EXPECT_EQ(over.error(), (ocr::OcrError{OcrErrorKind::engine_failed, "OCR returned too many words", {}}));
}

OcrWord word(std::string text, std::uint32_t page, std::uint32_t block, std::uint32_t paragraph,
             std::uint32_t line) {
    return OcrWord{.text = std::move(text),
                   .width = 1,
                   .height = 1,
                   .page = page,
                   .block = block,
                   .paragraph = paragraph,
                   .line = line};
}

TEST(JoinWords, LinesBlocksAndParagraphsStartNewLines) {
    EXPECT_EQ(ocr::join_words({word("one", 1, 1, 1, 1), word("two", 1, 1, 1, 1), word("three", 1, 1, 1, 2),
                               word("four", 1, 2, 1, 1)}),
              "one two\nthree\nfour");
    EXPECT_EQ(ocr::join_words({word("a", 1, 1, 1, 1), word("b", 1, 1, 2, 1), word("c", 2, 1, 2, 1)}),
              "a\nb\nc");
    EXPECT_EQ(ocr::join_words({word("only", 3, 3, 3, 3)}), "only");
}

TEST(JoinWords, EmptyTextsNeverGiveLeadingSpaces) {
    // Not produced by the parser, but the rule is exact: no space after an empty start, a feed always.
    EXPECT_EQ(ocr::join_words({word("", 1, 1, 1, 1), word("x", 1, 1, 1, 1)}), "x");
    EXPECT_EQ(ocr::join_words({word("", 1, 1, 1, 1), word("x", 1, 1, 1, 2)}), "\nx");
}

}  // namespace
