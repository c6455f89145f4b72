// The print preview, drawn by the presswick-preview helper in a child process under time and memory
// limits, so that no document can crash, hang or swell the window's own process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "preview.h"

namespace presswick {

// The environment variables the helper keeps: locale and fonts, nothing of the session (no bus address).
[[nodiscard]] std::vector<std::string> preview_environment();

// The helper beside the running program (a build tree keeps its tests there too).
[[nodiscard]] std::filesystem::path preview_helper_path();

// Page `page` (from 1) of `document`, at most 720 pixels a side; nothing when the file is not a
// readable, non-empty regular file, has no such page, or the helper fails, passes 10 s or 1 GiB, or
// `keep_going` answers false (then the helper is killed within 100 ms).
[[nodiscard]] PreviewResult render_preview(const std::filesystem::path& document,
                                           const std::function<bool()>& keep_going, std::uint32_t page = 1);

}  // namespace presswick
