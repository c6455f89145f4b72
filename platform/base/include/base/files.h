// Looking at a file before reading it.
#pragma once

#include <filesystem>

namespace base {

// Whether `path` is a readable, non-empty regular file. It is opened without blocking (a named pipe
// would wait for a writer forever) and what was opened is looked at, so a pipe or a device, which
// would never end, is refused.
[[nodiscard]] bool is_readable_regular_file(const std::filesystem::path& path);

}  // namespace base
