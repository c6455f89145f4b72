// The private runtime directory the host falls back to when the session gives none.
#pragma once

#include <string>

#include <sys/types.h>

namespace kora_ui {

// True when `path` is a directory only `uid` can use: made with mode 0700 when it is missing, and an
// existing one taken only when it is a real directory (no link) owned by `uid` with mode 0700. Someone
// else's directory at a guessable place in /tmp is never used.
[[nodiscard]] bool claim_runtime_directory(const std::string& path, uid_t uid);

}  // namespace kora_ui
