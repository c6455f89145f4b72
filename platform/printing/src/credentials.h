// The credentials the user gave for print servers this session: in this process's memory only, never
// written anywhere, and overwritten before they are replaced or forgotten.
#pragma once

#include <optional>
#include <string>

namespace os_actions::printing::detail {

struct ServerCredentials {
    std::string user;
    std::string password;
};

// Overwrites the text's bytes, then empties it.
void wipe(std::string& text);

// The credentials given for `server` (a copy the caller wipes), if any.
[[nodiscard]] std::optional<ServerCredentials> stored_credentials(const std::string& server);

}  // namespace os_actions::printing::detail
