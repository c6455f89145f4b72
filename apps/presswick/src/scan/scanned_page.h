// One scanned page and the table of recognition languages.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/pdf_word.h"

namespace presswick {

using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;
// A page is known by the identity of its encoded buffer; it changes with every rotation or crop. The key
// shares the buffer, so while any key is held no other page can get a buffer at the same address.
using PageKey = Bytes;

// One recognised word and its box, in the pixels of the page it was read from (the writer's own type,
// so a page's words go to the PDF as they are).
using RecognizedWord = pdf::PdfWord;
// Shared and immutable like the buffers: copying a page does not copy its words.
using RecognizedWords = std::shared_ptr<const std::vector<RecognizedWord>>;

struct ScannedPage {
    std::string status;
    std::string language;  // English name: "English", "German", "French" or "Spanish"
    std::optional<std::string> text;
    Bytes encoded;  // the image file: the scanner's bytes, later the PNG of the last rotation or crop
    Bytes pixels;   // RGBA, width * height * 4 bytes
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool text_stale = false;
    bool recognizing = false;
    // The words of `text` where they stand on the page; absent with the text, and after a rotation or
    // crop moved them.
    RecognizedWords words = {};

    [[nodiscard]] PageKey key() const { return encoded; }
};

struct RecognitionLanguage {
    std::string_view label;         // as the scan view offers it
    std::string_view english_name;  // stored with the page
    std::string_view code;          // the engine's language code

    [[nodiscard]] static const std::array<RecognitionLanguage, 4>& all();
    // Any index outside 1..3 is English.
    [[nodiscard]] static const RecognitionLanguage& for_index(std::size_t index);
    // "German", "French", "Spanish" by exact match; everything else "eng".
    [[nodiscard]] static std::string_view code_for_english_name(std::string_view english_name);
    // The index of the desktop's language when it is one of the four, else English (0). The language is
    // gettext's: the first of LANGUAGE (unless the messages locale is C), LC_ALL, LC_MESSAGES, LANG that is
    // set.
    [[nodiscard]] static std::size_t desktop_index();
    [[nodiscard]] static std::size_t index_for_locale(std::string_view language,
                                                      std::string_view messages_locale);
};

}  // namespace presswick
