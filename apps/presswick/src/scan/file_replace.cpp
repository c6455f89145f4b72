#include "scan/file_replace.h"

#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace presswick::scan {

namespace {

// Closes the descriptor on every path; `close` reports whether the last step worked.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

  private:
    int m_fd;
};

// Removes the temporary file unless it was renamed into place.
class TemporaryName {
  public:
    explicit TemporaryName(std::string path) : m_path(std::move(path)) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }
    [[nodiscard]] const std::string& path() const { return m_path; }
    void keep() { m_path.clear(); }

  private:
    std::string m_path;
};

bool write_all(int fd, std::span<const std::uint8_t> data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The file a chain of symbolic links ends at (the path itself when it is none); empty on a loop.
std::filesystem::path link_target(std::filesystem::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            return path;
        }
        auto target = std::filesystem::read_symlink(path, error);
        if (error) {
            return {};
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return {};
}

// Makes the rename itself durable; a file system that cannot sync a directory has nothing more to do.
bool sync_directory(const std::filesystem::path& directory) {
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        return false;
    }
    return ::fsync(dir.get()) == 0 || errno == EINVAL;
}

}  // namespace

bool replace_file(const std::filesystem::path& chosen, std::span<const std::uint8_t> data) {
    const auto path = link_target(chosen);
    if (path.empty() || !path.has_filename()) {
        return false;
    }
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return false;  // a directory, a pipe or a device is never replaced
    }
    const auto directory = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string pattern = (directory / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(::mkostemp(pattern.data(), O_CLOEXEC));  // created 0600
    if (file.get() < 0) {
        return false;
    }
    TemporaryName temporary(pattern);
    if (exists) {
        if (::fchmod(file.get(), existing.st_mode & 07777) != 0) {
            return false;
        }
        // Only a privileged user can give the file back to another owner; anyone else now owns it,
        // so a refusal here is expected and not a failure of the save.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int given_back = ::fchown(file.get(), existing.st_uid, existing.st_gid);
        }
    }
    if (!write_all(file.get(), data) || ::fsync(file.get()) != 0 || !file.close()) {
        return false;
    }
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
        return false;
    }
    temporary.keep();
    return sync_directory(directory);
}

}  // namespace presswick::scan
