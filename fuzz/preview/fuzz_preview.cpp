// Whatever file the user picks, the preview's drawing neither crashes nor returns a picture that breaks
// its promises: a non-empty picture within the asked size, whose pixel buffer matches it, from one page.
// The bytes go in as a PDF or as an image, by their magic numbers as the helper decides, else by the
// first byte, so that both entries see every input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "thumbnail/thumbnail.h"

namespace {

constexpr std::uint32_t kSide = 128;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// One in-memory file for the whole run, rewritten for each input.
int input_file() {
    static const int fd = ::memfd_create("preview-input", MFD_CLOEXEC);
    return fd;
}

}  // namespace

// fontconfig keeps its configuration for the life of the process, as in the helper: not a leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = input_file();
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    auto category = thumbnail::category_for_path(path);
    if (category != thumbnail::Category::pdf && category != thumbnail::Category::image) {
        category = size > 0 && (data[0] & 1) != 0 ? thumbnail::Category::image : thumbnail::Category::pdf;
    }
    const auto drawn = thumbnail::generate(path, category, kSide);
    if (!drawn) {
        check(!drawn.error().empty());
        return 0;
    }
    check(drawn->width >= 1 && drawn->height >= 1);
    check(drawn->width <= kSide && drawn->height <= kSide);
    check(drawn->rgba && drawn->rgba->size() == std::size_t{drawn->width} * drawn->height * 4);
    check(category == thumbnail::Category::pdf ? drawn->pages >= 1 : drawn->pages == 1);
    return 0;
}
