// Which picked files are documents at all: only a readable, non-empty regular file is previewed or printed.
#pragma once

#include <filesystem>

namespace presswick {

// Opens without blocking (a named pipe would wait for a writer forever) and looks at what was opened.
[[nodiscard]] bool is_readable_document(const std::filesystem::path& path);

}  // namespace presswick
