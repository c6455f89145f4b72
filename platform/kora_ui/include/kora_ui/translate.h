// Translated texts: every user-facing text goes through tr() or trn() in the application's gettext domain.
// The English text is the catalogue's key; "{}" placeholders stay in it so a translation can move them.
#pragma once

#include <filesystem>
#include <string>

namespace kora_ui {

namespace translation {
// Follows the desktop's language (setlocale from the environment) and looks up texts in `domain`, whose
// catalogues are under `locale_dir`/<language>/LC_MESSAGES/<domain>.mo. Call once, before any thread starts.
void start(const char* domain, const std::filesystem::path& locale_dir);
// The domain start() was given; empty before.
[[nodiscard]] const std::string& domain();
// The language texts are shown in, as gettext chose it ("de", "fr_CA", ...); "C" when untranslated.
[[nodiscard]] std::string language();
}  // namespace translation

// The translation of `msgid`, or `msgid` itself.
[[nodiscard]] const char* tr(const char* msgid);
// The plural form for `count` of a counted text (`one` and `many` are the English forms).
[[nodiscard]] const char* trn(const char* one, const char* many, unsigned long count);

}  // namespace kora_ui

// Marks a text for the catalogue where it is stored, not shown; tr() translates it where it is shown.
#define N_(text) text
