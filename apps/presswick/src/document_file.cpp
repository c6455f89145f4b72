#include "document_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace presswick {

bool is_readable_document(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool document = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    ::close(fd);
    return document;
}

}  // namespace presswick
