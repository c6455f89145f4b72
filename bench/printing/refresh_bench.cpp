// One device refresh (queues, jobs, scanners through the real service) against whatever libcups and
// libsane point at, beside `lpstat -W all -o -p` and `scanimage -L` on the same system. Medians of N runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "printing/printing.h"

namespace {
using Clock = std::chrono::steady_clock;

template <class Fn>
double median_ms(int runs, Fn fn) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        fn();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::ranges::sort(times);
    return times[times.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    namespace printing = os_actions::printing;
    std::size_t queues = 0, jobs = 0, scanners = 0;
    (void)printing::scanners();  // SANE's one-time start is not part of a refresh
    const double service = median_ms(runs, [&] {
        const auto q = printing::queues();
        const auto j = printing::jobs();
        const auto s = printing::scanners();
        queues = q ? q->size() : 0;
        jobs = j ? j->size() : 0;
        scanners = s ? s->size() : 0;
    });
    const double lpstat = median_ms(runs, [] { (void)std::system("lpstat -W all -o -p >/dev/null 2>&1"); });
    const double scanimage = median_ms(runs, [] { (void)std::system("scanimage -L >/dev/null 2>&1"); });
    std::printf("refresh (queues %zu, jobs %zu, scanners %zu): %.1f ms median of %d\n", queues, jobs,
                scanners, service, runs);
    std::printf("lpstat -W all -o -p: %.1f ms, scanimage -L: %.1f ms, together %.1f ms\n", lpstat, scanimage,
                lpstat + scanimage);
    std::printf("ratio service / tools: %.2f\n", service / (lpstat + scanimage));
    return service <= lpstat + scanimage ? 0 : 1;
}
