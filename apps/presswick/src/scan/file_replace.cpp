#include "scan/file_replace.h"

#include <cerrno>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "live_files/live_files.h"

namespace presswick::scan {

namespace {

// Closes the descriptor on every path; `close` reports whether the last step worked.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
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

// A temporary name in a folder: removed unless it was renamed into place, and meanwhile known to the
// end of the program.
class TemporaryName {
  public:
    TemporaryName(int directory, std::string name, const std::filesystem::path& shown)
        : m_directory(directory), m_name(std::move(name)), m_live(shown) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!m_name.empty()) {
            ::unlinkat(m_directory, m_name.c_str(), 0);
        }
    }
    [[nodiscard]] const std::string& name() const { return m_name; }
    void keep() {
        m_name.clear();
        m_live.forget();
    }

  private:
    int m_directory;
    std::string m_name;
    live_files::LiveFile m_live;
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

// The chosen file as a folder that stays put and a name in it.
struct Place {
    FileDescriptor folder;
    std::filesystem::path folder_path;
    std::string name;
};

std::optional<Place> open_place(const std::filesystem::path& path) {
    if (!path.has_filename()) {
        return std::nullopt;
    }
    auto folder_path = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    FileDescriptor folder(::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return std::nullopt;
    }
    return Place{std::move(folder), std::move(folder_path), path.filename().string()};
}

// Follows links at the final component as far as follows_link allows; nothing when a link may not be
// followed, or on a loop. The place it ends at is looked at without following anything again.
std::optional<Place> final_place(std::filesystem::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        auto place = open_place(path);
        if (!place) {
            return std::nullopt;
        }
        struct stat entry {};
        if (::fstatat(place->folder.get(), place->name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(entry.st_mode)) {
            return place;
        }
        struct stat folder {};
        if (::fstat(place->folder.get(), &folder) != 0 || !follows_link(folder, entry)) {
            return std::nullopt;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t size =
            ::readlinkat(place->folder.get(), place->name.c_str(), target.data(), target.size());
        if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) {
            return std::nullopt;
        }
        target.resize(static_cast<std::size_t>(size));
        const std::filesystem::path next(target);
        path = next.is_absolute() ? next : place->folder_path / next;
    }
    return std::nullopt;
}

std::string random_name(const std::string& name) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += alphabet[random() % (sizeof alphabet - 1)];
    }
    return "." + name + "." + suffix;
}

// Gives the unnamed file `fd` the name `name` in `folder`; false when it exists or cannot be made.
bool link_unnamed(int fd, int folder, const std::string& name) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    // Without /proc: the same by descriptor, which the kernel allows only with extra privileges.
    return errno != EEXIST && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

// A new temporary name in `place`'s folder for `file`: the unnamed file linked in, or a named one
// created there (then `file`). False when none can be made.
bool temporary_in(const Place& place, int unnamed, FileDescriptor& file,
                  std::optional<TemporaryName>& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = random_name(place.name);
        if (unnamed >= 0) {
            if (link_unnamed(unnamed, place.folder.get(), name)) {
                temporary.emplace(place.folder.get(), name, place.folder_path / name);
                return true;
            }
        } else {
            FileDescriptor made(::openat(place.folder.get(), name.c_str(),
                                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (made.get() >= 0) {
                file = std::move(made);
                temporary.emplace(place.folder.get(), name, place.folder_path / name);
                return true;
            }
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

}  // namespace

bool follows_link(const struct stat& folder, const struct stat& link) {
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return link.st_uid == ::geteuid() || !shared || link.st_uid == folder.st_uid;
}

bool replace_file(const std::filesystem::path& chosen, std::span<const std::uint8_t> data) {
    auto place = final_place(chosen);
    if (!place) {
        return false;
    }
    const int folder = place->folder.get();
    struct stat existing {};
    const bool exists = ::fstatat(folder, place->name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return false;  // a directory, a pipe, a device, or a link that appeared since, is never replaced
    }
    // An unnamed file leaves nothing behind whatever ends us; some file systems cannot make one.
    FileDescriptor file(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    const bool unnamed = file.get() >= 0;
    std::optional<TemporaryName> temporary;
    if (!unnamed && !temporary_in(*place, -1, file, temporary)) {
        return false;
    }
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
    if (!write_all(file.get(), data) || ::fsync(file.get()) != 0) {
        return false;
    }
    if (unnamed) {
        // A new file takes its name directly; an existing one is replaced through a name of our own.
        const bool placed = !exists && link_unnamed(file.get(), folder, place->name);
        if (!placed && !temporary_in(*place, file.get(), file, temporary)) {
            return false;
        }
    }
    if (!file.close()) {
        return false;
    }
    if (temporary) {
        // rename replaces the entry itself: a link swapped in meanwhile is replaced, never followed.
        if (::renameat(folder, temporary->name().c_str(), folder, place->name.c_str()) != 0) {
            return false;
        }
        temporary->keep();
    }
    return ::fsync(folder) == 0 || errno == EINVAL;
}

}  // namespace presswick::scan
