#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace base::utf8;

std::string lossy(std::string_view text) {
    return decode_lossy(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(Utf8, OnlyWellFormedSequencesAreValid) {
    for (const std::string_view good : {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                        "\xED\x9F\xBF", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(is_valid(good)) << good;
    }
    // Overlong forms, surrogates, past U+10FFFF, cut sequences, stray continuations, bytes never used.
    for (const std::string_view bad :
         {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xE2\x82", "a\x80", "\xF8\x88", "\xFF"}) {
        EXPECT_FALSE(is_valid(bad)) << testing::PrintToString(std::string(bad));
    }
}

TEST(Utf8, CodePointsAndReplacements) {
    const std::string_view text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC0\xAFz";
    std::vector<char32_t> seen;
    for (std::size_t at = 0; at < text.size();) {
        seen.push_back(next_code_point(text, at));
    }
    // The overlong pair gives one replacement for each of its bytes.
    EXPECT_EQ(seen, (std::vector<char32_t>{'a', 0xE9, 0x20AC, 0x1F600, kReplacement, kReplacement, 'z'}));
    EXPECT_EQ(sequence_length(text, 1), 2u);
    EXPECT_EQ(sequence_length(text, 2), 0u);
    EXPECT_EQ(sequence_length(text, text.size()), 0u);

    // Lossy decoding replaces each maximal ill-formed part once.
    EXPECT_EQ(lossy("caf\xE2\x82!"), "caf\xEF\xBF\xBD!");
    EXPECT_EQ(lossy("\xF0\x9F\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(lossy("\xC0\x80x"), "\xEF\xBF\xBD\xEF\xBF\xBDx");
    EXPECT_EQ(lossy("ok \xE2\x82\xAC"), "ok \xE2\x82\xAC");
}

TEST(Utf8, PrefixesNeverSplitACharacter) {
    const std::string_view text = "a\xC3\xA9\xE2\x82\xACz";  // a é € z
    EXPECT_EQ(prefix_within(text, 2), 1u);
    EXPECT_EQ(prefix_within(text, 3), 3u);
    EXPECT_EQ(prefix_within(text, 5), 3u);
    EXPECT_EQ(prefix_within(text, 6), 6u);
    EXPECT_EQ(prefix_within(text, 100), text.size());

    EXPECT_EQ(prefix_of_characters(text, 0), 0u);
    EXPECT_EQ(prefix_of_characters(text, 2), 3u);
    EXPECT_EQ(prefix_of_characters(text, 3), 6u);
    EXPECT_EQ(prefix_of_characters(text, 9), text.size());

    // Only a last character the end cuts short is dropped; one that can never be whole stays.
    EXPECT_EQ(without_cut_end("ab\xE2\x82"), 2u);
    EXPECT_EQ(without_cut_end("ab\xF0\x9F\x98"), 2u);
    EXPECT_EQ(without_cut_end("ab\xE2\x82\xAC"), 5u);
    EXPECT_EQ(without_cut_end("ab\xFF"), 3u);
    EXPECT_EQ(without_cut_end("ab\x80\x80\x80\x80"), 6u);
    EXPECT_EQ(without_cut_end(""), 0u);
}

TEST(Utf8, TrimsUnicodeWhiteSpaceOnly) {
    EXPECT_EQ(trim_white_space("\xC2\xA0 word\tline \xE3\x80\x80\n"), "word\tline");
    EXPECT_EQ(trim_white_space(" \xE3\x80"), "\xE3\x80");  // a cut sequence is not white space
    EXPECT_EQ(trim_white_space(" \t "), "");
    EXPECT_TRUE(is_white_space(0x2028));
    EXPECT_FALSE(is_white_space(0x200B));  // zero width space is not White_Space
}

}  // namespace
