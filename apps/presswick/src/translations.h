// Where Presswick's catalogues are and starting gettext on them.
#pragma once

#include <filesystem>

namespace presswick {

inline constexpr const char* kTextDomain = "presswick";

// The catalogues from the executable's place: <prefix>/bin/presswick reads <prefix>/share/locale, and a
// build tree keeps its programs in build/bin and its catalogues in build/share/locale, so both run alike.
[[nodiscard]] std::filesystem::path locale_dir_for(const std::filesystem::path& executable);

// Follows the desktop's language for every text the program and the toolkit show.
void start_translations();

}  // namespace presswick
