// Programs that ship with this one, such as the helpers it runs in processes of their own.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace bounded_command {

// The running program's own file (empty when it cannot be told).
[[nodiscard]] std::filesystem::path running_program();

// Where the program `name` that ships with `program` is: beside it (a build tree), else in
// ../libexec/presswick from it (an installation, whatever its prefix). Nothing when neither can run.
[[nodiscard]] std::optional<std::filesystem::path> companion_program(
    std::string_view name, const std::filesystem::path& program = running_program());

}  // namespace bounded_command
