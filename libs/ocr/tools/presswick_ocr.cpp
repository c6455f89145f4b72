// presswick-ocr [--words] IMAGE [LANG]
// Decodes an image file, recognises its text like a scanned page and prints the text; with --words,
// one word a line: left top width height confidence text. Exit status 0 on success (also for a page
// without text), 1 when recognition fails, 2 on bad usage or an unreadable image.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "ocr/image_file.h"
#include "ocr/ocr.h"

namespace {

constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

int usage() {
    std::fputs("usage: presswick-ocr [--words] IMAGE [LANG]\n", stderr);
    return exit_usage;
}

void print_words(const std::vector<ocr::OcrWord>& words) {
    for (const auto& word : words) {
        std::printf("%u %u %u %u %.3f %s\n", word.left, word.top, word.width, word.height,
                    static_cast<double>(word.confidence), word.text.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const bool words = !args.empty() && args.front() == "--words";
    if (words) {
        args.erase(args.begin());
    }
    if (args.empty() || args.size() > 2 || args.front().starts_with("-")) {
        return usage();
    }
    const std::string path(args[0]);
    const std::string language(args.size() == 2 ? args[1] : "eng");
    if (!ocr::validate_language_code(language)) {
        std::fprintf(stderr, "presswick-ocr: \"%s\" is not a language code (such as eng, deu or eng+deu)\n",
                     language.c_str());
        return exit_usage;
    }

    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "presswick-ocr: cannot open %s\n", path.c_str());
        return exit_usage;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    if (file.bad()) {
        std::fprintf(stderr, "presswick-ocr: cannot read %s\n", path.c_str());
        return exit_usage;
    }
    // Refuse an oversized page before decoding it: the decoder would need its whole size in memory.
    const auto size = ocr::image_size(bytes);
    if (!size) {
        std::fprintf(stderr, "presswick-ocr: %s is not an image: %s\n", path.c_str(), size.error().c_str());
        return exit_usage;
    }
    if (ocr::exceeds_page_limits(size->width, size->height)) {
        std::fprintf(stderr,
                     "presswick-ocr: %s is %u x %u pixels; at most 10000 on a side and 60 million in all\n",
                     path.c_str(), size->width, size->height);
        return exit_failed;
    }
    const auto image = ocr::decode_image(bytes);
    if (!image) {
        std::fprintf(stderr, "presswick-ocr: %s is not an image: %s\n", path.c_str(), image.error().c_str());
        return exit_usage;
    }

    const auto output = ocr::recognize_page(image->view(), language);
    if (!output) {
        std::fprintf(stderr, "presswick-ocr: %s\n", ocr::describe(output.error()).c_str());
        return exit_failed;
    }
    if (words) {
        print_words(output->words);
    } else {
        const std::string text = ocr::join_words(output->words);
        if (!text.empty()) {
            std::printf("%s\n", text.c_str());
        }
    }
    return 0;
}
