#include "kora_ui/runtime_dir.h"

#include <cerrno>

#include <sys/stat.h>

namespace kora_ui {

bool claim_runtime_directory(const std::string& path, uid_t uid) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
           (info.st_mode & 07777) == 0700;
}

}  // namespace kora_ui
