// scan_page_bench [RUNS]: a page from SANE's test scanner ("Color pattern") at 150, 300 and 600 dpi in
// colour, grey and text mode, two ways in the same run.
//   Share: our own CPU time on the page (decode, RGBA copy, preparation with the skew estimate, the
//   temporary PNG, parsing) against the engine's own CPU time on the image we hand it.
//   End to end: the wall time from the scan request to the recognised page (the scan helper, decoding,
//   recognition: what the scan worker does before it posts the page) against `scanimage` writing a PNG
//   and `tesseract` reading it, on the same scanner.
// Also the number of words each way. Medians of RUNS (default 3). Exit status 1 when the 600-dpi colour
// page takes more than 1.2 times the tools.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ocr/ocr.h"
#include "ocr/temp_png.h"
#include "scan/page_image.h"
#include "scan/page_text.h"
#include "scan_helper_client.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace printing = os_actions::printing;

double thread_cpu_ms() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double children_cpu_ms() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double wall_ms(auto&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::ranges::sort(values);
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// SANE's test backend alone, drawing its colour pattern.
fs::path sane_config() {
    const fs::path dir = fs::temp_directory_path() / ("scan-page-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "dll.conf") << "test\n";
    std::ofstream(dir / "test.conf") << "number_of_devices 1\ntest-picture \"Color pattern\"\n";
    return dir;
}

struct Mode {
    const char* name;
    printing::ScanColourMode colour_mode;
    const char* scanimage_args;
};

constexpr Mode modes[] = {{"colour", printing::ScanColourMode::colour, "--mode Color"},
                          {"grey", printing::ScanColourMode::grayscale, "--mode Gray"},
                          {"text", printing::ScanColourMode::text, "--mode Gray --depth 1"}};

struct Share {
    double decode = 0, prepare = 0, png = 0;
    double ours = 0;
    double engine = 0;
    std::size_t words = 0;
};

// One page through our steps, each timed on this thread; the engine's CPU time from its rusage.
Share share_of(const printing::Bytes& page) {
    Share share;
    const double start = thread_cpu_ms();
    const auto decoded = presswick::scan::decode_page_image(*page).value();
    const auto rgba = presswick::scan::to_rgba(decoded);
    const ocr::ImageView view{decoded.samples(), decoded.width, decoded.height,
                              static_cast<ocr::PixelLayout>(decoded.channels)};
    const double decoded_at = thread_cpu_ms();
    const auto prepared = ocr::prepare_page_image(view).value();
    const double prepared_at = thread_cpu_ms();
    auto file = ocr::TempPng::create().value();
    file.write(prepared).value();
    share.ours = thread_cpu_ms() - start;
    share.decode = decoded_at - start;
    share.prepare = prepared_at - decoded_at;
    share.png = share.ours - share.decode - share.prepare;
    const double engine_start = children_cpu_ms();
    const auto run = bounded_command::run_prepared_with_limits(ocr::engine_command(file.path(), "eng"),
                                                               std::nullopt, 16 << 20, 1 << 20, 600s);
    share.engine = children_cpu_ms() - engine_start;
    const double parse_start = thread_cpu_ms();
    if (run && run->status.success()) {
        const std::string text(run->stdout_bytes.begin(), run->stdout_bytes.end());
        share.words = ocr::parse_engine_tsv(text, "eng").value().words.size();
    }
    share.ours += thread_cpu_ms() - parse_start;
    (void)rgba;
    return share;
}

// What the scan worker does before it posts the page.
void scan_and_recognize(const printing::sane::HelperSetup& setup, const printing::ScanSettings& s) {
    const auto page = printing::sane::scan_page(setup, "test:0", s).value();
    const auto decoded = presswick::scan::decode_page_image(*page).value();
    const auto rgba = presswick::scan::to_rgba(decoded);
    (void)presswick::scan::recognize_text(
        {decoded.samples(), decoded.width, decoded.height, decoded.channels}, "eng");
}

std::size_t tools_words(const fs::path& tsv) {
    std::ifstream in(tsv);
    std::string line;
    std::size_t words = 0;
    while (std::getline(in, line)) {
        // Level 5 rows are words; blank ones are not counted, as our parser drops them.
        if (line.starts_with("5\t") && line.find_last_not_of(" \t") > line.rfind('\t')) {
            ++words;
        }
    }
    return words;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const fs::path config = sane_config();
    ::setenv("SANE_CONFIG_DIR", config.c_str(), 1);
    ::setenv("OMP_THREAD_LIMIT", "1", 1);  // the tools run the engine as we do
    printing::sane::HelperSetup setup;
    setup.environment = {{"SANE_CONFIG_DIR", config.string()}};
    const fs::path png = config / "page.png";
    const fs::path tsv = config / "page.tsv";
    bool within = true;
    std::printf("%-4s %-6s | %9s %9s %6s | %9s %9s %6s | %5s %5s\n", "dpi", "mode", "ours ms", "engine ms",
                "share", "e2e ms", "tools ms", "ratio", "words", "tools");
    for (const int dpi : {150, 300, 600}) {
        for (const Mode& mode : modes) {
            const printing::ScanSettings settings{.resolution_dpi = static_cast<std::uint16_t>(dpi),
                                                  .colour_mode = mode.colour_mode,
                                                  .source = printing::ScanSource::flatbed};
            const auto page = printing::sane::scan_page(setup, "test:0", settings);
            if (!page) {
                std::fprintf(stderr, "scan failed: %s\n", page.error().c_str());
                return 2;
            }
            const std::string scanimage = "scanimage -d test:0 " + std::string(mode.scanimage_args) +
                                          " --resolution " + std::to_string(dpi) + " --format=png -o " +
                                          png.string() + " 2>/dev/null";
            const std::string tesseract =
                "tesseract " + png.string() + " stdout tsv > " + tsv.string() + " 2>/dev/null";
            std::vector<double> ours, engine, ends, tools, decode, prepare, written;
            Share share;
            for (int run = 0; run < runs; ++run) {
                share = share_of(*page);
                ours.push_back(share.ours);
                decode.push_back(share.decode);
                prepare.push_back(share.prepare);
                written.push_back(share.png);
                engine.push_back(share.engine);
                ends.push_back(wall_ms([&] { scan_and_recognize(setup, settings); }));
                tools.push_back(wall_ms([&] {
                    if (std::system(scanimage.c_str()) != 0 || std::system(tesseract.c_str()) != 0) {
                        std::fprintf(stderr, "scanimage or tesseract failed\n");
                    }
                }));
            }
            const double o = median(ours), e = median(engine), end = median(ends), t = median(tools);
            std::printf("%-4d %-6s | %9.1f %9.1f %5.1f%% | %9.1f %9.1f %5.2fx | %5zu %5zu\n", dpi, mode.name,
                        o, e, 100.0 * o / e, end, t, end / t, share.words, tools_words(tsv));
            std::printf("%-11s   (decode+RGBA %.1f, prepare %.1f, PNG %.1f)\n", "", median(decode),
                        median(prepare), median(written));
            if (dpi == 600 && mode.colour_mode == printing::ScanColourMode::colour && end > 1.2 * t) {
                within = false;
            }
        }
    }
    fs::remove_all(config);
    return within ? 0 : 1;
}
