// presswick-preview FILE MAX_SIDE [PAGE]: page PAGE (counted from 1; the first when not given) of a
// document as a picture, made in a process of its own so that a hostile or broken file cannot take the
// window with it. Presswick runs it under time and memory limits, and it confines itself at once
// (confine.h). Standard output: width, height and the document's page count (0 when unknown), 32-bit
// little-endian each, then RGBA rows. Exit 0 with a picture; 1 when there is none (also for a page the
// document does not have).
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "confine.h"
#include "thumbnail/thumbnail.h"

namespace {

bool write_all(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(STDOUT_FILENO, data, size);
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps a few bytes of its configuration for the life of the process (only FcFini frees
// them): in sanitizer builds that is not a leak of ours, and must not turn a drawn preview into a failure.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    // Before a byte of the document is read: a hostile file gets a process that can only draw.
    preview::Confined confined;
    if (!preview::confine(confined)) {
        return 1;
    }
    if (argc != 3 && argc != 4) {
        return 2;
    }
    std::uint32_t page = 1;
    if (argc == 4) {
        const std::string_view page_text(argv[3]);
        if (std::from_chars(page_text.data(), page_text.data() + page_text.size(), page).ec != std::errc() ||
            page == 0) {
            return 2;
        }
    }
    const std::string_view side_text(argv[2]);
    std::uint32_t max_side = 0;
    if (std::from_chars(side_text.data(), side_text.data() + side_text.size(), max_side).ec != std::errc() ||
        max_side == 0 || max_side > 4096 || !base::is_readable_regular_file(argv[1])) {
        return 1;
    }
    const auto image =
        thumbnail::generate(argv[1], thumbnail::category_for_path(argv[1]), max_side, page - 1);
    if (!image || !image->rgba || image->rgba->size() != std::size_t{image->width} * image->height * 4) {
        return 1;
    }
    std::vector<std::uint8_t> header;
    put_u32(header, image->width);
    put_u32(header, image->height);
    put_u32(header, image->pages);
    return write_all(header.data(), header.size()) && write_all(image->rgba->data(), image->rgba->size()) ? 0
                                                                                                          : 1;
}
