#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "base/unique_fd.h"

namespace base {

bool is_readable_regular_file(const std::filesystem::path& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    return fd.is_open() && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace base
