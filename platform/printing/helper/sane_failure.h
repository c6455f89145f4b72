// How the helper words a failure: a text of its own, or what failed with SANE's words for the status.
#pragma once

#include <sane/sane.h>

#include <expected>
#include <string>

namespace os_actions::printing::helper {

inline std::unexpected<std::string> failure(std::string text) {
    return std::unexpected(std::move(text));
}

inline std::unexpected<std::string> failure(const std::string& what, SANE_Status status) {
    return failure(what + ": " + sane_strstatus(status));
}

}  // namespace os_actions::printing::helper
