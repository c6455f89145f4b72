// Replacing a file whole: the new bytes go to a temporary file beside it, which is synced and renamed over
// the chosen path, so a failure at any step leaves what was there before untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace presswick::scan {

// Writes `data` as the file at `path`. A new file is owner read-write only; an existing file keeps its
// permissions; a symbolic link is written through to its target. False on any failure, and then the
// previous file is unchanged and no temporary file is left.
[[nodiscard]] bool replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> data);

}  // namespace presswick::scan
