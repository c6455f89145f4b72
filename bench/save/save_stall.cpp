// The longest time one update of the window's thread takes while 20 grainy A4 pages (300 dpi) are saved
// as a document, against the earlier way (the PDF built on that thread when the path comes back), in
// one run:   save_stall_bench [pages]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "kora_ui/picker.h"
#include "kora_ui/widgets.h"
#include "scan/saving.h"
#include "scan_pages.h"
#include "surface/execute_internal.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace bench = presswick::bench;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<presswick::ScannedPage> grainy_pages(std::uint32_t count) {
    std::vector<presswick::ScannedPage> pages;
    for (std::uint32_t k = 0; k < count; ++k) {
        const auto rgb = bench::scan_page(k);
        auto rgba = std::make_shared<std::vector<std::uint8_t>>(rgb.size() / 3 * 4);
        for (std::size_t i = 0, o = 0; i < rgb.size(); i += 3, o += 4) {
            (*rgba)[o] = rgb[i];
            (*rgba)[o + 1] = rgb[i + 1];
            (*rgba)[o + 2] = rgb[i + 2];
            (*rgba)[o + 3] = 255;
        }
        presswick::ScannedPage page;
        page.pixels = std::move(rgba);
        page.encoded = std::make_shared<const std::vector<std::uint8_t>>(16, 0);
        page.width = bench::k_a4_width;
        page.height = bench::k_a4_height;
        page.text = "Page " + std::to_string(k + 1) + " of the benchmark";
        pages.push_back(std::move(page));
    }
    return pages;
}

class AnswersWith final : public kora_ui::PickerBackend {
  public:
    explicit AnswersWith(std::filesystem::path path) : m_path(std::move(path)) {}
    kora_ui::PickOutcome pick(const kora_ui::PickRequest&) override {
        return {kora_ui::PickOutcome::Kind::path, m_path, {}};
    }

  private:
    std::filesystem::path m_path;
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t count = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 20;
    const auto dir = std::filesystem::temp_directory_path() / ("save-stall-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::printf("%u grainy A4 pages at 300 dpi, %u cores, load %s\n", count,
                std::thread::hardware_concurrency(), [] {
                    static char load[64] = "?";
                    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
                        if (std::fgets(load, sizeof load, f) == nullptr) {
                            load[0] = '\0';
                        }
                        std::fclose(f);
                    }
                    return load;
                }());
    auto pages = grainy_pages(count);

    // The earlier way: the update that took the picked path built the whole PDF before starting the writer.
    const auto earlier_start = Clock::now();
    const auto built = presswick::scan::build_document_pdf(pages);
    const double earlier_stall = ms_since(earlier_start);

    // Now: the executor's own updates, as the event loop calls them, until the outcome is shown.
    presswick::Presswick state(kora_ui::boxed(kora_ui::Column()));
    state.pages = std::move(pages);
    state.document_version = 1;
    auto previous = kora_ui::set_picker_backend(std::make_shared<AnswersWith>(dir / "document.pdf"));
    const auto start = Clock::now();
    presswick::surface::execute(state, presswick::SaveDocument{});
    double longest = ms_since(start);
    std::size_t updates = 0;
    while (!state.notice) {
        const auto frame = Clock::now();
        (void)presswick::surface::collect_one_result(state);
        longest = std::max(longest, ms_since(frame));
        ++updates;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double total = ms_since(start);
    (void)kora_ui::set_picker_backend(std::move(previous));
    const auto written = std::filesystem::file_size(dir / "document.pdf");
    std::filesystem::remove_all(dir);

    std::printf("earlier way, one update building the PDF: %.1f ms (%.1f MB)\n", earlier_stall,
                static_cast<double>(built->size()) / 1e6);
    std::printf("now, longest of %zu updates: %.2f ms; saved after %.1f ms (%.1f MB, %s)\n", updates, longest,
                total, static_cast<double>(written) / 1e6,
                state.notice->positive ? state.notice->title.c_str() : "FAILED");
    std::printf("longest stall now / earlier: %.2e\n", longest / earlier_stall);
    return state.notice->positive && written == built->size() ? 0 : 1;
}
