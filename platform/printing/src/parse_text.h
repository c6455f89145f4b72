// Letter-case helpers the parsing files share.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace os_actions::printing::detail {

inline std::string lower(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Whether the lower-cased text holds `needle` (itself lower case).
inline bool contains(std::string_view haystack, std::string_view needle) {
    return lower(haystack).find(needle) != std::string::npos;
}

}  // namespace os_actions::printing::detail
