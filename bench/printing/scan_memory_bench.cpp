// Peak memory of a 600-dpi A4 colour scan (the fake backend's grainy page, through presswick-scan-helper)
// against the page's RGBA buffer, allocated and filled in the same run. Counted: the helper's peak
// resident size (all of it, libraries included) plus what the caller's resident size grew by while it
// gathered the PNG.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "printing/printing.h"
#include "system_service.h"

namespace {

namespace printing = os_actions::printing;

double mib(double bytes) {
    return bytes / 1048576.0;
}

double resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double peak_bytes(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/presswick-scan-memory.XXXXXX";
    if (!::mkdtemp(pattern)) {
        return 2;
    }
    const std::filesystem::path config(pattern);
    std::ofstream(config / "dll.conf") << "presswickfake\n";
    printing::detail::ScannerSide side;
    side.helper.environment = {{"SANE_CONFIG_DIR", config.string()}, {"LD_LIBRARY_PATH", FAKE_SANE_DIR}};
    const auto service = printing::detail::make_system_service(side);

    const double before = resident_bytes();
    const auto start = std::chrono::steady_clock::now();
    const auto page =
        service->scan_page("presswickfake:page", {.resolution_dpi = 600,
                                                  .colour_mode = printing::ScanColourMode::colour,
                                                  .source = printing::ScanSource::flatbed});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!page) {
        std::fprintf(stderr, "scan failed: %s\n", page.error().c_str());
        return 2;
    }
    const double caller = peak_bytes(RUSAGE_SELF) - before;
    const double helper = peak_bytes(RUSAGE_CHILDREN);
    const auto& png = **page;
    const std::uint32_t width = png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19];
    const std::uint32_t height = png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23];

    // The same run's baseline: the page's RGBA buffer as the program holds it, every byte written.
    const double rgba_before = resident_bytes();
    std::vector<std::uint8_t> buffer(std::size_t{width} * height * 4);
    std::memset(buffer.data(), 0xff, buffer.size());
    const double rgba = resident_bytes() - rgba_before;

    const double raw = static_cast<double>(width) * height * 3;
    std::printf("600-dpi A4 colour scan %ux%u in %.2f s, PNG %.1f MiB\n", width, height, seconds,
                mib(png.size()));
    std::printf("helper peak %.1f MiB + caller growth %.1f MiB = %.1f MiB\n", mib(helper), mib(caller),
                mib(helper + caller));
    std::printf("RGBA page buffer (same run): %.1f MiB\n", mib(rgba));
    std::printf(
        "ratio scan peak / RGBA buffer: %.2f (the earlier in-process path held the raw frame, an 8-bit "
        "copy and the PNG: at least %.1f MiB, %.2f)\n",
        (helper + caller) / rgba, mib(2 * raw + png.size()), (2 * raw + png.size()) / rgba);
    std::error_code ec;
    std::filesystem::remove_all(config, ec);
    return (helper + caller) <= 1.2 * rgba ? 0 : 1;
}
