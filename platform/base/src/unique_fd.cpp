#include "base/unique_fd.h"

#include <unistd.h>

#include <utility>

namespace base {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() {
    return std::exchange(m_fd, -1);
}

void UniqueFd::reset(int fd) {
    // Linux releases the descriptor even when close reports EINTR: never retry.
    if (const int old = std::exchange(m_fd, fd); old >= 0 && old != fd) {
        ::close(old);
    }
}

bool UniqueFd::close() {
    const int fd = release();
    return fd >= 0 && ::close(fd) == 0;
}

}  // namespace base
