// Replacing a file whole: the new bytes go to a temporary file beside it, which is synced and put in
// place in one step, so a failure at any step leaves what was there before untouched.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace base {

// Writes `data` as the file at `path`. A new file is owner read-write only; an existing file keeps its
// permissions. A symbolic link is written through to its target only where the kernel's protection of
// links in shared folders would follow it (follows_link); any other link makes the save fail and is left
// as it is. The temporary file has no name while it is written where the file system allows it, and is
// otherwise removed at the program's end whatever ends it. The system's error on any failure, and then
// the previous file is unchanged and no temporary file is left.
[[nodiscard]] std::expected<void, std::error_code> replace_file(const std::filesystem::path& path,
                                                                std::span<const std::uint8_t> data);

[[nodiscard]] inline std::expected<void, std::error_code> replace_file(const std::filesystem::path& path,
                                                                       std::string_view text) {
    return replace_file(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// Whether a link with status `link` in a folder with status `folder` may be followed by us: we own the
// link, the folder is not both sticky and writable by others, or the folder's owner owns the link.
[[nodiscard]] bool follows_link(const struct stat& folder, const struct stat& link);

}  // namespace base
