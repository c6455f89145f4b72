#include "translations.h"

#include <system_error>

#include "kora_ui/translate.h"

namespace presswick {

std::filesystem::path locale_dir_for(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path() / "share" / "locale";
}

void start_translations() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    kora_ui::translation::start(
        kTextDomain, error ? std::filesystem::path(PRESSWICK_LOCALE_DIR) : locale_dir_for(executable));
}

}  // namespace presswick
