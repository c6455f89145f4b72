#include "base/replace_file.h"

#include <cerrno>
#include <climits>
#include <expected>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "base/unique_fd.h"
#include "live_files/live_files.h"

namespace base {

namespace {

std::unexpected<std::error_code> failed(int code) {
    return std::unexpected(std::error_code(code, std::system_category()));
}

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
    UniqueFd folder;  // O_PATH: it is only walked from, looked into and written into
    std::filesystem::path folder_path;
    std::string name;
};

// Puts the components of `path` on `pending` so that its first comes off first.
void push_components(const std::filesystem::path& path, std::vector<std::string>& pending) {
    std::vector<std::string> parts;
    for (const auto& part : path.relative_path()) {
        parts.push_back(part.string());
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

UniqueFd open_folder(int at, const char* name) {
    return UniqueFd(::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// Walks the path a component at a time from folders held open, as the kernel would with its protection
// of links in shared folders: a link, anywhere on the way, is followed only where follows_link allows.
// The error when one may not be followed (EACCES, as the kernel says), on a loop, or when a folder on the
// way is missing.
std::expected<Place, std::error_code> final_place(const std::filesystem::path& chosen) {
    if (!chosen.has_filename()) {
        return failed(EISDIR);
    }
    const bool absolute = chosen.is_absolute();
    UniqueFd folder = open_folder(AT_FDCWD, absolute ? "/" : ".");
    std::filesystem::path folder_path = absolute ? "/" : ".";
    std::vector<std::string> pending;
    push_components(chosen, pending);
    int links = 0;
    while (!pending.empty()) {
        if (!folder.is_open()) {
            return failed(errno);
        }
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (name.empty() || name == ".") {
            continue;
        }
        const bool last = pending.empty();
        struct stat entry {};
        if (::fstatat(folder.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            if (last && errno == ENOENT) {
                return Place{std::move(folder), std::move(folder_path), name};  // a new file
            }
            return failed(errno);
        }
        if (S_ISLNK(entry.st_mode)) {
            struct stat holder {};
            if (++links > 40) {
                return failed(ELOOP);
            }
            if (::fstat(folder.get(), &holder) != 0) {
                return failed(errno);
            }
            if (!follows_link(holder, entry)) {
                return failed(EACCES);
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t size = ::readlinkat(folder.get(), name.c_str(), target.data(), target.size());
            if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) {
                return failed(size < 0 ? errno : ENAMETOOLONG);
            }
            target.resize(static_cast<std::size_t>(size));
            const std::filesystem::path next(target);
            if (next.is_absolute()) {
                folder = open_folder(AT_FDCWD, "/");
                folder_path = "/";
            }
            push_components(next, pending);  // a target ending in "/" ends the walk at a folder: refused
            continue;
        }
        if (last) {
            return Place{std::move(folder), std::move(folder_path), name};
        }
        folder = open_folder(folder.get(), name.c_str());
        folder_path /= name;
    }
    return failed(folder.is_open() ? EISDIR : errno);
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
bool temporary_in(const Place& place, int unnamed, UniqueFd& file, std::optional<TemporaryName>& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = random_name(place.name);
        if (unnamed >= 0) {
            if (link_unnamed(unnamed, place.folder.get(), name)) {
                temporary.emplace(place.folder.get(), name, place.folder_path / name);
                return true;
            }
        } else {
            UniqueFd made(::openat(place.folder.get(), name.c_str(),
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

std::expected<void, std::error_code> replace_file(const std::filesystem::path& chosen,
                                                  std::span<const std::uint8_t> data) {
    auto place = final_place(chosen);
    if (!place) {
        return std::unexpected(place.error());
    }
    const int folder = place->folder.get();
    struct stat existing {};
    const bool exists = ::fstatat(folder, place->name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A directory, a pipe, a device, or a link that appeared since, is never replaced.
        return failed(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
    }
    // An unnamed file leaves nothing behind whatever ends us; some file systems cannot make one.
    UniqueFd file(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    const bool unnamed = file.is_open();
    std::optional<TemporaryName> temporary;
    if (!unnamed && !temporary_in(*place, -1, file, temporary)) {
        return failed(errno);
    }
    if (exists) {
        if (::fchmod(file.get(), existing.st_mode & 07777) != 0) {
            return failed(errno);
        }
        // Only a privileged user can give the file back to another owner; anyone else now owns it,
        // so a refusal here is expected and not a failure of the save.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int given_back = ::fchown(file.get(), existing.st_uid, existing.st_gid);
        }
    }
    if (!write_all(file.get(), data) || ::fsync(file.get()) != 0) {
        return failed(errno);
    }
    if (unnamed) {
        // A new file takes its name directly; an existing one is replaced through a name of our own.
        const bool placed = !exists && link_unnamed(file.get(), folder, place->name);
        if (!placed && !temporary_in(*place, file.get(), file, temporary)) {
            return failed(errno);
        }
    }
    if (!file.close()) {
        return failed(errno);
    }
    if (temporary) {
        // rename replaces the entry itself: a link swapped in meanwhile is replaced, never followed.
        if (::renameat(folder, temporary->name().c_str(), folder, place->name.c_str()) != 0) {
            return failed(errno);
        }
        temporary->keep();
    }
    // The folder is held for walking only: syncing it takes a descriptor that may read it.
    const UniqueFd synced(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!synced.is_open() || (::fsync(synced.get()) != 0 && errno != EINVAL)) {
        return failed(errno);
    }
    return {};
}

}  // namespace base
