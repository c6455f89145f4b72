// One device refresh through the real service against whatever libcups and libsane point at, beside the
// command-line tools on the same system. Medians of N runs.
//   refresh_bench [RUNS]         queues, jobs and scanners beside `lpstat -W all -o -p` and `scanimage -L`
//   refresh_bench office [RUNS]  queues and jobs beside `lpstat -W all -o -p` (an office server: at most
//                                twice as long), and the resident memory from one refresh to the next
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "printing/printing.h"

namespace {

// Runs a reference tool through the shell; a failing tool makes its time meaningless, so it is told.
void run_reference(const char* command) {
    if (std::system(command) != 0) {
        std::fprintf(stderr, "the reference command failed: %s\n", command);
    }
}
using Clock = std::chrono::steady_clock;
namespace printing = os_actions::printing;

double median(std::vector<double> times) {
    std::ranges::sort(times);
    return times[times.size() / 2];
}

// Medians of fns timed in turn within each run, so that a busy machine weighs on all of them alike.
template <class... Fns>
std::vector<double> medians_ms(int runs, Fns... fns) {
    std::vector<std::vector<double>> times(sizeof...(Fns));
    for (int i = 0; i < runs; ++i) {
        std::size_t k = 0;
        (
            [&] {
                const auto start = Clock::now();
                fns();
                times[k++].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }(),
            ...);
    }
    std::vector<double> out;
    for (auto& t : times) {
        out.push_back(median(std::move(t)));
    }
    return out;
}

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

int desk(int runs) {
    std::size_t queues = 0, jobs = 0, scanners = 0;
    (void)printing::scanners();  // SANE's one-time start is not part of a refresh
    const auto times = medians_ms(
        runs,
        [&] {
            const auto q = printing::queues();
            const auto j = printing::jobs();
            const auto s = printing::scanners();
            queues = q ? q->size() : 0;
            jobs = j ? j->size() : 0;
            scanners = s ? s->size() : 0;
        },
        [] { run_reference("lpstat -W all -o -p >/dev/null 2>&1"); },
        [] { run_reference("scanimage -L >/dev/null 2>&1"); });
    const double service = times[0], lpstat = times[1], scanimage = times[2];
    std::printf("refresh (queues %zu, jobs %zu, scanners %zu): %.1f ms median of %d\n", queues, jobs,
                scanners, service, runs);
    std::printf("lpstat -W all -o -p: %.1f ms, scanimage -L: %.1f ms, together %.1f ms\n", lpstat, scanimage,
                lpstat + scanimage);
    std::printf("ratio service / tools: %.2f\n", service / (lpstat + scanimage));
    return service <= lpstat + scanimage ? 0 : 1;
}

int office(int runs) {
    std::size_t queues = 0, jobs = 0;
    auto refresh = [&] {
        const auto q = printing::queues();
        const auto j = printing::jobs();
        queues = q ? q->size() : 0;
        jobs = j ? j->size() : 0;
    };
    refresh();  // the first refresh starts the probes of the devices; later ones find their answers
    refresh();
    const long settled = resident_kib();
    const auto times =
        medians_ms(runs, refresh, [] { run_reference("lpstat -W all -o -p >/dev/null 2>&1"); });
    const long after = resident_kib();
    const double service = times[0], lpstat = times[1], ratio = service / lpstat;
    std::printf("office refresh (queues %zu, jobs %zu): %.1f ms median of %d\n", queues, jobs, service, runs);
    std::printf("lpstat -W all -o -p: %.1f ms; ratio service / lpstat: %.2f (at most 2)\n", lpstat, ratio);
    std::printf("resident memory after 2 refreshes: %ld KiB, after %d more: %ld KiB\n", settled, runs, after);
    const bool steady = after <= settled + settled / 20;
    return ratio <= 2.0 && steady ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "office") {
        return office(argc > 2 ? std::atoi(argv[2]) : 15);
    }
    return desk(argc > 1 ? std::atoi(argv[1]) : 15);
}
