#include "bounded_command/companion.h"

#include <unistd.h>

namespace bounded_command {

std::filesystem::path running_program() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::optional<std::filesystem::path> companion_program(std::string_view name,
                                                       const std::filesystem::path& program) {
    if (program.empty()) {
        return std::nullopt;
    }
    const auto here = program.parent_path();
    for (const auto& candidate : {here / name, here.parent_path() / "libexec" / "presswick" / name}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace bounded_command
