// write_pdf on ten A4 pages at 300 dpi, beside plain single-threaded zlib level 6 on the same bytes.
//   pdf_bench [benchmark flags]     the timed comparison (MB/s of input)
//   pdf_bench --write-png DIR       the same pages as PNG files, for img2pdf (see run.sh)
//   pdf_bench --memory              one write_pdf, then peak resident size against input + output
#include <benchmark/benchmark.h>
#include <png.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "pdf/pdf_writer.h"
#include "scan_pages.h"

namespace {

using presswick::pdf::PdfPageInput;
namespace bench = presswick::bench;

constexpr std::uint32_t k_pages = 10;

struct Document {
    std::vector<std::vector<std::uint8_t>> rgb;
    std::vector<PdfPageInput> pages;
    std::size_t bytes = 0;
};

const Document& document() {
    static const Document doc = [] {
        Document d;
        for (std::uint32_t k = 0; k < k_pages; ++k) {
            d.rgb.push_back(bench::scan_page(k));
            d.bytes += d.rgb.back().size();
        }
        for (std::uint32_t k = 0; k < k_pages; ++k) {
            d.pages.push_back(PdfPageInput{d.rgb[k], "Page " + std::to_string(k + 1) + " of the benchmark",
                                           bench::k_a4_width, bench::k_a4_height});
        }
        return d;
    }();
    return doc;
}

void BM_WritePdf(benchmark::State& state) {
    const Document& doc = document();
    const auto threads = static_cast<unsigned>(state.range(0));
    std::size_t out = 0;
    for (auto _ : state) {
        const auto bytes = presswick::pdf::write_pdf(doc.pages, threads);
        out = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.bytes));
    state.counters["output_MB"] = static_cast<double>(out) / 1e6;
}
// Real time is what counts: the helper threads' work does not show in the CPU column.
BENCHMARK(BM_WritePdf)->Arg(1)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The straightforward design: every page through zlib's compress2 at level 6, one after another.
void BM_ZlibLevel6(benchmark::State& state) {
    const Document& doc = document();
    std::vector<std::uint8_t> out(compressBound(static_cast<uLong>(doc.rgb[0].size())));
    std::size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (const auto& page : doc.rgb) {
            uLongf size = out.size();
            compress2(out.data(), &size, page.data(), static_cast<uLong>(page.size()), 6);
            total += size;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.bytes));
    state.counters["output_MB"] = static_cast<double>(total) / 1e6;
}
BENCHMARK(BM_ZlibLevel6)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int write_pngs(const std::string& dir) {
    for (std::uint32_t k = 0; k < k_pages; ++k) {
        const auto rgb = bench::scan_page(k);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = bench::k_a4_width;
        image.height = bench::k_a4_height;
        image.format = PNG_FORMAT_RGB;
        char name[32];
        std::snprintf(name, sizeof name, "/page-%02u.png", k + 1);
        if (png_image_write_to_file(&image, (dir + name).c_str(), 0, rgb.data(), 0, nullptr) == 0) {
            std::fprintf(stderr, "could not write %s%s: %s\n", dir.c_str(), name, image.message);
            return 1;
        }
    }
    return 0;
}

long peak_rss_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int measure_memory() {
    const long before = peak_rss_kb();
    const Document& doc = document();
    const long with_input = peak_rss_kb();
    const auto bytes = presswick::pdf::write_pdf(doc.pages);
    const long peak = peak_rss_kb();
    const double input_mb = static_cast<double>(doc.bytes) / 1e6;
    const double output_mb = static_cast<double>(bytes.size()) / 1e6;
    const double peak_mb = static_cast<double>(peak) * 1024 / 1e6;
    std::printf("threads %u\n", std::thread::hardware_concurrency());
    std::printf("program before input      %8.1f MB\n", static_cast<double>(before) * 1024 / 1e6);
    std::printf("peak with input generated %8.1f MB\n", static_cast<double>(with_input) * 1024 / 1e6);
    std::printf("input                     %8.1f MB\n", input_mb);
    std::printf("output                    %8.1f MB\n", output_mb);
    std::printf("peak resident             %8.1f MB\n", peak_mb);
    std::printf("peak / (input + output)   %8.3f\n", peak_mb / (input_mb + output_mb));
    std::printf("writer's own share        %8.1f MB (peak - peak before the call - output)\n",
                peak_mb - static_cast<double>(with_input) * 1024 / 1e6 - output_mb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-png") == 0) {
        return write_pngs(argv[2]);
    }
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0) {
        return measure_memory();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
