// A device refresh (queues, jobs, scanners) with a scanner backend that takes 5 s to list its devices,
// against the same refresh with no scanner backend at all, in the same run. The scanner list is renewed
// in the background, so the slow backend should cost the refresh nothing. Printers come from whatever
// libcups points at (the private print system when `scripts/sandbox.sh env` was evaluated).
// Usage: printing_scanner_refresh_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "printing/printing.h"
#include "system_service.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace printing = os_actions::printing;

double refresh_ms(printing::Service& service, std::size_t& scanners) {
    const auto start = Clock::now();
    (void)service.queues();
    (void)service.jobs();
    const auto list = service.scanners();
    scanners = list ? list->size() : 0;
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

printing::detail::ScannerSide side_with(const std::filesystem::path& config, const char* backends,
                                        const char* list_ms) {
    std::filesystem::create_directories(config);
    std::ofstream(config / "dll.conf") << backends << "\n";
    printing::detail::ScannerSide side;
    side.helper.environment = {{"SANE_CONFIG_DIR", config.string()},
                               {"LD_LIBRARY_PATH", FAKE_SANE_DIR},
                               {"PRESSWICK_FAKE_SANE_LIST_MS", list_ms}};
    return side;
}

double median(std::vector<double> values) {
    std::ranges::sort(values);
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    char pattern[] = "/tmp/presswick-refresh-bench.XXXXXX";
    if (!::mkdtemp(pattern)) {
        return 2;
    }
    const std::filesystem::path home(pattern);
    const auto slow_side = side_with(home / "slow", "presswickfake", "5000");
    const auto slow = printing::detail::make_system_service(slow_side);
    const auto none = printing::detail::make_system_service(side_with(home / "none", "", "0"));

    // Once the slow list is known: from then on every refresh finds a 5 s renewal running behind it.
    std::size_t slow_count = 0, none_count = 0;
    const auto known = Clock::now();
    while (slow->scanners().value_or(std::vector<printing::Scanner>{}).empty() &&
           Clock::now() - known < std::chrono::seconds(15)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    (void)none->scanners();
    std::vector<double> slow_ms, none_ms;
    // A pause before each: a renewal the previous refresh started in the background (a helper starting
    // up) must not land in the next one's time.
    const auto settle = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    };
    for (int i = 0; i < runs; ++i) {
        settle();
        slow_ms.push_back(refresh_ms(*slow, slow_count));
        settle();
        none_ms.push_back(refresh_ms(*none, none_count));
    }
    const double a = median(slow_ms), b = median(none_ms);
    // For comparison: a refresh that lists the scanners itself, as every refresh used to.
    const auto inline_start = Clock::now();
    (void)slow->queues();
    (void)slow->jobs();
    (void)os_actions::printing::sane::list_scanners(slow_side.helper);
    const double inline_ms = std::chrono::duration<double, std::milli>(Clock::now() - inline_start).count();
    std::printf("refresh, scanner backend listing in 5 s: %.3f ms median of %d (%zu scanners)\n", a, runs,
                slow_count);
    std::printf("refresh, no scanner backend:              %.3f ms median of %d (%zu scanners)\n", b, runs,
                none_count);
    std::printf("ratio slow / none: %.2f (listing inside the refresh instead: %.0f ms)\n", a / b, inline_ms);
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return slow_count == 3 && a <= b * 1.1 + 0.5 ? 0 : 1;
}
