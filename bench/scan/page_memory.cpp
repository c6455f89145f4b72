// Resident memory of the window's process around a 40-page A4 document at 300 dpi, scanned, saved
// and dropped through the executor as the window does it (scan workers, the save worker). The
// baseline of the same run is the resident size before the first scan; the drop is measured twice:
// once with the pages cleared by hand (memory left in the allocator's arenas) and once through
// OpenScan, which gives freed memory back (the update after it, as in the window). Text recognition runs when
// `tesseract` is on PATH; with PATH cleared it fails at once, which measures the page buffers alone in far
// less time.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "kora_ui/picker.h"
#include "memory.h"
#include "scan/page_image.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace {

namespace printing = os_actions::printing;

constexpr std::uint32_t kWidth = 2480;
constexpr std::uint32_t kHeight = 3508;
constexpr int kPages = 40;

double rss_mib() {
    std::ifstream statm("/proc/self/statm");
    long total = 0;
    long resident = 0;
    statm >> total >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// A scanner that hands out a new PNG of a page with lines of text-like bars for every scan.
class PageScanner final : public printing::Service {
  public:
    PageScanner() {
        std::vector<std::uint8_t> rgba(std::size_t{kWidth} * kHeight * 4, 255);
        for (std::uint32_t y = 200; y < kHeight - 200; y += 60) {
            for (std::uint32_t row = y; row < y + 22; ++row) {
                for (std::uint32_t x = 220; x < kWidth - 220; ++x) {
                    if ((x / 40) % 5 != 4) {
                        std::uint8_t* p = rgba.data() + (std::size_t{row} * kWidth + x) * 4;
                        p[0] = p[1] = p[2] = 20;
                    }
                }
            }
        }
        m_png = *presswick::scan::encode_png(rgba, kWidth, kHeight).value();
    }
    printing::Result<std::vector<printing::PrintQueue>> queues() override {
        return std::vector<printing::PrintQueue>{};
    }
    printing::Result<std::vector<printing::PrintJob>> jobs() override {
        return std::vector<printing::PrintJob>{};
    }
    printing::Result<std::vector<printing::Scanner>> scanners() override {
        return std::vector<printing::Scanner>{{"bench:0", "Bench scanner"}};
    }
    printing::Result<std::vector<printing::DriverlessPrinter>> discover_driverless() override {
        return std::vector<printing::DriverlessPrinter>{};
    }
    printing::OperationResult add_driverless(const std::string&, const std::string&) override { return {}; }
    printing::OperationResult set_default(const std::string&) override { return {}; }
    printing::OperationResult set_enabled(const std::string&, bool) override { return {}; }
    printing::OperationResult cancel_job(const std::string&) override { return {}; }
    printing::OperationResult retry_job(const std::string&) override { return {}; }
    printing::Result<printing::PrinterOptions> printer_options(const std::string&) override {
        return printing::PrinterOptions{};
    }
    printing::OperationResult print_document(const std::string&, const std::filesystem::path&,
                                             const printing::JobOptions&,
                                             std::optional<std::uint32_t>) override {
        return {};
    }
    printing::Result<printing::Bytes> scan_page(const std::string&, const printing::ScanSettings&) override {
        return std::make_shared<const std::vector<std::uint8_t>>(m_png);
    }

  private:
    std::vector<std::uint8_t> m_png;
};

class OnePath final : public kora_ui::PickerBackend {
  public:
    explicit OnePath(std::filesystem::path path) : m_path(std::move(path)) {}
    kora_ui::PickOutcome pick(const kora_ui::PickRequest&) override {
        return {kora_ui::PickOutcome::Kind::path, m_path, {}};
    }

  private:
    std::filesystem::path m_path;
};

// Runs update as the window would until `done`.
template <class Done>
bool pump_until(presswick::Presswick& state, Done done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    kora_ui::UpdateContext context;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (!state.update(context)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return true;
}

bool scan_document(presswick::Presswick& state, double& peak) {
    presswick::surface::execute(state, presswick::OpenScan{});
    for (int i = 0; i < kPages; ++i) {
        presswick::surface::execute(state, presswick::ScanPage{});
        const auto want = static_cast<std::size_t>(i + 1);
        if (!pump_until(
                state, [&] { return !state.scanning && state.pages.size() == want; },
                std::chrono::seconds(120))) {
            std::fprintf(stderr, "page %d was not scanned\n", i + 1);
            return false;
        }
        peak = std::max(peak, rss_mib());
    }
    return true;
}

}  // namespace

int main() {
    presswick::map_large_buffers_alone();  // as the program's main does
    const auto dir =
        std::filesystem::temp_directory_path() / ("presswick-memory-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    (void)printing::install_service(std::make_shared<PageScanner>());
    (void)kora_ui::set_picker_backend(std::make_shared<OnePath>(dir / "document.pdf"));
    auto state = std::make_unique<presswick::Presswick>(presswick::views::build_first_run_view());
    state->snapshot =
        presswick::DeviceSnapshot{std::vector<printing::PrintQueue>{}, std::vector<printing::PrintJob>{},
                                  std::vector<printing::Scanner>{{"bench:0", "Bench scanner"}}};
    const double before = rss_mib();
    std::printf("%d pages %ux%u (300 dpi A4), recognition %s\n", kPages, kWidth, kHeight,
                std::getenv("PATH") && *std::getenv("PATH") ? "as PATH finds it" : "off (PATH empty)");
    std::printf("resident before the first scan:        %8.1f MiB\n", before);

    // Baseline of this run: the pages dropped without giving the freed memory back.
    double peak = before;
    if (!scan_document(*state, peak)) {
        return 1;
    }
    std::printf("resident with %d pages (peak):          %8.1f MiB\n", kPages, peak);
    state->pages.clear();
    state->current_page.reset();
    state->install(presswick::views::build_first_run_view());
    const double kept = rss_mib();
    std::printf("dropped, memory kept by the allocator: %8.1f MiB  (%.2f x before)\n", kept, kept / before);
    presswick::return_freed_memory();
    const double trimmed = rss_mib();
    std::printf("the same, given back:                  %8.1f MiB  (%.2f x before)\n", trimmed,
                trimmed / before);

    // The window's own way: scan, save the document, open a new scan (the saved pages are dropped).
    peak = trimmed;
    if (!scan_document(*state, peak)) {
        return 1;
    }
    presswick::surface::execute(*state, presswick::SaveDocument{});
    if (!pump_until(
            *state, [&] { return !state->has_unsaved_pages(); }, std::chrono::seconds(300))) {
        std::fprintf(stderr, "the document was not saved\n");
        return 1;
    }
    std::printf("saved: %.1f MiB PDF, peak %.1f MiB\n",
                std::filesystem::file_size(dir / "document.pdf") / 1048576.0, std::max(peak, rss_mib()));
    presswick::surface::execute(*state, presswick::OpenScan{});
    kora_ui::UpdateContext context;
    (void)state->update(context);
    const double after = rss_mib();
    std::printf("saved, then dropped by OpenScan:       %8.1f MiB  (%.2f x before; limit 1.25)\n", after,
                after / before);
    std::filesystem::remove_all(dir);
    return 0;
}
