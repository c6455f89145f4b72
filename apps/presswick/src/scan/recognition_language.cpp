#include "scan/scanned_page.h"

#include <cstdlib>
#include "kora_ui/translate.h"

namespace presswick {

const std::array<RecognitionLanguage, 4>& RecognitionLanguage::all() {
    static constexpr std::array<RecognitionLanguage, 4> table{{
        {"English", N_("English"), "eng"},
        {"Deutsch", N_("German"), "deu"},
        {"Français", N_("French"), "fra"},
        {"Español", N_("Spanish"), "spa"},
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

std::size_t RecognitionLanguage::index_for_locale(std::string_view language,
                                                  std::string_view messages_locale) {
    const bool untranslated = messages_locale.empty() || messages_locale == "C" || messages_locale == "POSIX";
    // LANGUAGE is a list ("de:en"); gettext ignores it under the C locale.
    std::string_view chosen = messages_locale;
    if (!untranslated && !language.empty()) {
        chosen = language.substr(0, language.find(':'));
    }
    const auto code = chosen.substr(0, 2);
    const std::string_view codes[] = {"en", "de", "fr", "es"};
    for (std::size_t index = 1; index <= 3; ++index) {
        if (code == codes[index] &&
            (chosen.size() == 2 || chosen[2] == '_' || chosen[2] == '.' || chosen[2] == '@')) {
            return index;
        }
    }
    return 0;
}

std::size_t RecognitionLanguage::desktop_index() {
    auto variable = [](const char* name) -> std::string_view {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    std::string_view messages = variable("LC_ALL");
    if (messages.empty()) {
        messages = variable("LC_MESSAGES");
    }
    if (messages.empty()) {
        messages = variable("LANG");
    }
    return index_for_locale(variable("LANGUAGE"), messages);
}

}  // namespace presswick
