#include "scan/scanned_page.h"

namespace presswick {

const std::array<RecognitionLanguage, 4>& RecognitionLanguage::all() {
    static constexpr std::array<RecognitionLanguage, 4> table{{
        {"English", "English", "eng"},
        {"Deutsch", "German", "deu"},
        {"Français", "French", "fra"},
        {"Español", "Spanish", "spa"},
    }};
    return table;
}

const RecognitionLanguage& RecognitionLanguage::for_index(std::size_t index) {
    return index >= 1 && index <= 3 ? all()[index] : all()[0];
}

std::string_view RecognitionLanguage::code_for_english_name(std::string_view english_name) {
    for (std::size_t index = 1; index <= 3; ++index) {
        if (all()[index].english_name == english_name) {
            return all()[index].code;
        }
    }
    return "eng";
}

}  // namespace presswick
