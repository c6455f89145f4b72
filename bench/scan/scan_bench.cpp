// A 20-page A4 document at 300 dpi: peak resident size against the sum of the page buffers, and how long
// building the PDF of 10 pages takes (the save's work on the UI thread), against the baseline of
// converting every page to RGB first and handing the copies to the writer. Clean pages (text bars on
// white) and grainy ones (a scanner's noise on every pixel, which deflate compresses far more slowly).
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include <sys/resource.h>

#include "pdf/pdf_writer.h"
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

// Pixels only: the document PDF reads nothing else of a page.
std::vector<presswick::ScannedPage> grainy_pages(int count) {
    std::vector<presswick::ScannedPage> pages;
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> rgba(std::size_t{kWidth} * kHeight * 4);
        for (std::size_t p = 0; p < rgba.size(); p += 4) {
            const auto grain = static_cast<std::uint8_t>(232 + random() % 24);
            rgba[p] = rgba[p + 1] = rgba[p + 2] = grain;
            rgba[p + 3] = 255;
        }
        presswick::ScannedPage page;
        page.pixels = std::make_shared<const std::vector<std::uint8_t>>(std::move(rgba));
        page.width = kWidth;
        page.height = kHeight;
        page.text = "Recognized words of page " + std::to_string(i + 1);
        pages.push_back(page);
    }
    return pages;
}

// The earlier way: an RGB copy of every page, all made before the writer starts.
std::size_t baseline_pdf(const std::vector<presswick::ScannedPage>& pages) {
    std::vector<std::vector<std::uint8_t>> rgb;
    std::vector<presswick::pdf::PdfPageInput> inputs;
    rgb.reserve(pages.size());
    for (const auto& page : pages) {
        auto& copy = rgb.emplace_back(std::size_t{page.width} * page.height * 3);
        for (std::size_t i = 0, o = 0; o < copy.size(); i += 4, o += 3) {
            copy[o] = (*page.pixels)[i];
            copy[o + 1] = (*page.pixels)[i + 1];
            copy[o + 2] = (*page.pixels)[i + 2];
        }
        inputs.push_back({copy, page.text.value_or(""), page.width, page.height});
    }
    return presswick::pdf::write_pdf(inputs).size();
}

void time_saves(const char* kind, const std::vector<presswick::ScannedPage>& pages) {
    using clock = std::chrono::steady_clock;
    for (int run = 0; run < 3; ++run) {
        auto start = clock::now();
        const std::size_t baseline_size = baseline_pdf(pages);
        const double baseline = std::chrono::duration<double>(clock::now() - start).count();
        start = clock::now();
        const auto pdf = presswick::scan::build_document_pdf(pages);
        const double seconds = std::chrono::duration<double>(clock::now() - start).count();
        std::printf("%s, 10 pages: build_document_pdf %.3f s, baseline %.3f s (ratio %.2f), %.1f MiB%s\n",
                    kind, seconds, baseline, seconds / baseline, pdf->size() / 1048576.0,
                    pdf->size() == baseline_size ? "" : " (sizes differ!)");
    }
}

}  // namespace

int main() {
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
    time_saves("clean", ten);
    pages.clear();
    views.clear();
    time_saves("grainy", grainy_pages(10));
    std::printf("peak RSS at the end %.1f MiB\n", peak_rss_mib());
    return 0;
}
