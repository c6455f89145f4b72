#include <gtest/gtest.h>

#include <string>

#include "ocr/engine.h"

namespace {

using ocr::validate_language_code;

TEST(ValidateLanguageCode, EngineLanguagesPass) {
    for (const char* code : {"eng", "deu", "fra", "spa", "eng+deu", "chi_sim", "deu_latf", "a", "7", "x-y"}) {
        EXPECT_TRUE(validate_language_code(code)) << code;
    }
}

TEST(ValidateLanguageCode, MalformedCodesFail) {
    for (const char* code : {"", " eng", "en g", "-eng", "eng_", "eng+", "+eng", "_eng", "eng-", "e/ng",
                             "eng;rm", "ëng", "eng\n", "eng\t", "..", "e.n"}) {
        EXPECT_FALSE(validate_language_code(code)) << code;
    }
    EXPECT_FALSE(validate_language_code(std::string_view("eng\0", 4)));
}

TEST(ValidateLanguageCode, LengthIsOneTo64Bytes) {
    EXPECT_TRUE(validate_language_code(std::string(64, 'a')));
    EXPECT_FALSE(validate_language_code(std::string(65, 'a')));
}

}  // namespace
