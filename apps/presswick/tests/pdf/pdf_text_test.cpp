// Every row of the WinAnsi conversion table, and the escaping.
#include "pdf/pdf_text.h"

#include <gtest/gtest.h>

namespace presswick::pdf {
namespace {

unsigned byte_of(char32_t scalar) {
    return static_cast<unsigned char>(winansi_byte(scalar));
}

TEST(WinAnsi, TypographicCharacters) {
    EXPECT_EQ(byte_of(U'\u2018'), 0x91u);
    EXPECT_EQ(byte_of(U'\u2019'), 0x92u);
    EXPECT_EQ(byte_of(U'\u201C'), 0x93u);
    EXPECT_EQ(byte_of(U'\u201D'), 0x94u);
    EXPECT_EQ(byte_of(U'\u2022'), 0x95u);
    EXPECT_EQ(byte_of(U'\u2013'), 0x96u);
    EXPECT_EQ(byte_of(U'\u2014'), 0x97u);
    EXPECT_EQ(byte_of(U'\u2026'), 0x85u);
}

TEST(WinAnsi, NoBreakSpaceAndTabBecomeSpace) {
    EXPECT_EQ(byte_of(0x00A0), 0x20u);
    EXPECT_EQ(byte_of(0x0009), 0x20u);
}

TEST(WinAnsi, PrintableAsciiAndLatin1KeepTheirValue) {
    for (char32_t c = 0x20; c <= 0x7E; ++c) {
        EXPECT_EQ(byte_of(c), static_cast<unsigned>(c));
    }
    for (char32_t c = 0xA1; c <= 0xFF; ++c) {
        EXPECT_EQ(byte_of(c), static_cast<unsigned>(c));
    }
}

TEST(WinAnsi, EverythingElseIsAQuestionMark) {
    for (char32_t c = 0; c < 0x20; ++c) {
        if (c != 0x09) {
            EXPECT_EQ(byte_of(c), unsigned{'?'}) << unsigned(c);
        }
    }
    for (char32_t c = 0x7F; c <= 0x9F; ++c) {
        EXPECT_EQ(byte_of(c), unsigned{'?'}) << unsigned(c);
    }
    for (const char32_t c : {0x100u, 0x20ACu, 0x2017u, 0x2020u, 0x3000u, 0xFFFDu, 0x1F600u, 0x10FFFFu}) {
        EXPECT_EQ(byte_of(c), unsigned{'?'}) << unsigned(c);
    }
}

TEST(WinAnsi, TheCompleteTableHasEveryCharacterTheEncodingDefines) {
    const auto complete = [](char32_t c) {
        return static_cast<unsigned char>(winansi_complete_byte(c));
    };
    const std::pair<char32_t, unsigned> high[] = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
        {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
        {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
        {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
        {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
    for (const auto& [scalar, byte] : high) {
        EXPECT_EQ(complete(scalar), byte) << std::hex << unsigned(scalar);
    }
    for (char32_t c = 0x20; c <= 0xFF; ++c) {
        if (c < 0x7F || c > 0xA0) {
            EXPECT_EQ(complete(c), byte_of(c)) << "the rest as in the text line: " << unsigned(c);
        }
    }
    for (const char32_t c : {0x80u, 0x81u, 0x9Fu, 0x7Fu, 0x0Au, 0x100u, 0x2017u, 0x3000u, 0x1F600u}) {
        EXPECT_EQ(complete(c), unsigned{'?'}) << unsigned(c);
    }
    EXPECT_EQ(complete(0x00A0), 0x20u);
    EXPECT_EQ(to_winansi_complete("\xE2\x82\xAC"
                                  "12 \xC5\xA0koda \xC5\x93uvre"),
              "\x80"
              "12 \x8Akoda \x9Cuvre");
    EXPECT_EQ(to_winansi("\xE2\x82\xAC"), "?") << "the line without boxes keeps its table";
}

TEST(WinAnsi, ConvertsUtf8ScalarByScalar) {
    EXPECT_EQ(to_winansi("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(to_winansi("\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x94 ok\xE2\x80\xA6"),
              "\x93quoted\x94 \x97 ok\x85");
    EXPECT_EQ(to_winansi("a\r\nb"), "a??b");
    EXPECT_EQ(to_winansi("\xF0\x9F\x98\x80"), "?");  // one scalar, one byte
    EXPECT_EQ(to_winansi(std::string("a\0b", 3)), "a?b");
}

TEST(WinAnsi, MalformedUtf8GivesOneQuestionMarkPerByte) {
    EXPECT_EQ(to_winansi("\xFF"), "?");
    EXPECT_EQ(to_winansi("a\xC3"), "a?");          // truncated
    EXPECT_EQ(to_winansi("\xC0\xAF"), "??");       // overlong
    EXPECT_EQ(to_winansi("\xED\xA0\x80"), "???");  // surrogate
    EXPECT_EQ(to_winansi("\xE2\x82x"), "??x");     // bad continuation
}

TEST(Escaping, ParenthesesAndBackslash) {
    EXPECT_EQ(escape_literal("Hello (world)"), "Hello \\(world\\)");
    EXPECT_EQ(escape_literal("a\\b"), "a\\\\b");
    EXPECT_EQ(escape_literal("\x80\xE9\xFF"), "\x80\xE9\xFF");
    EXPECT_EQ(escape_literal("a\nb\rc"), "a\\nb\\rc");
}

TEST(VisibleText, UnicodeWhiteSpaceOnlyIsBlank) {
    EXPECT_FALSE(has_visible_text(""));
    EXPECT_FALSE(has_visible_text(" \n\t\r\v\f"));
    EXPECT_FALSE(has_visible_text("\xC2\x85\xC2\xA0\xE2\x80\x80\xE2\x80\xA8\xE3\x80\x80"));
    EXPECT_TRUE(has_visible_text("  x  "));
    EXPECT_TRUE(has_visible_text("\xE2\x82\xAC"));
    EXPECT_TRUE(has_visible_text("\xFF"));
}

}  // namespace
}  // namespace presswick::pdf
