// A 20-page A4 document at 300 dpi: peak resident size against the sum of the page buffers, and how long
// building the PDF of 10 pages takes (the save's work on the UI thread).
#include <chrono>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

#include "scan/page_image.h"
#include "scan/saving.h"

namespace {

constexpr std::uint32_t kWidth = 2480;
constexpr std::uint32_t kHeight = 3508;

double peak_rss_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A page of text-like bars on white, as a scanner's PNG.
presswick::Bytes scanner_png(std::uint32_t seed) {
    std::vector<std::uint8_t> rgba(std::size_t{kWidth} * kHeight * 4, 255);
    for (std::uint32_t y = 200; y < kHeight - 200; y += 60) {
        for (std::uint32_t row = y; row < y + 20; ++row) {
            for (std::uint32_t x = 200 + (seed * 37 + y) % 300; x < kWidth - 200; ++x) {
                std::uint8_t* p = rgba.data() + (std::size_t{row} * kWidth + x) * 4;
                p[0] = p[1] = p[2] = static_cast<std::uint8_t>((x * 7 + row * 3 + seed) % 90);
            }
        }
    }
    return presswick::scan::encode_png(rgba, kWidth, kHeight).value();
}

}  // namespace

int main() {
    using clock = std::chrono::steady_clock;
    const double before = peak_rss_mib();
    std::vector<presswick::ScannedPage> pages;
    std::size_t buffers = 0;
    for (std::uint32_t i = 0; i < 20; ++i) {
        presswick::ScannedPage page;
        page.encoded = scanner_png(i);
        auto decoded = presswick::scan::decode_page_image(*page.encoded).value();
        page.pixels = presswick::scan::to_rgba(decoded);
        page.width = decoded.width;
        page.height = decoded.height;
        page.text = "Recognized words of page " + std::to_string(i + 1);
        buffers += page.encoded->size() + page.pixels->size();
        pages.push_back(page);
    }
    // Copies as the current page view and worker tasks hold them: shared, not duplicated.
    std::vector<presswick::ScannedPage> views(pages.begin(), pages.end());
    const double after_pages = peak_rss_mib();
    std::printf("20 pages %ux%u: buffers %.1f MiB, peak RSS %.1f MiB (%.1f MiB before the pages)\n", kWidth,
                kHeight, buffers / 1048576.0, after_pages, before);

    std::vector<presswick::ScannedPage> ten(pages.begin(), pages.begin() + 10);
    for (int run = 0; run < 3; ++run) {
        const auto start = clock::now();
        auto pdf = presswick::scan::build_document_pdf(ten);
        const double seconds = std::chrono::duration<double>(clock::now() - start).count();
        std::printf("build_document_pdf, 10 pages: %.3f s, %.1f MiB\n", seconds, pdf->size() / 1048576.0);
    }
    std::printf("peak RSS at the end %.1f MiB\n", peak_rss_mib());
    return 0;
}
