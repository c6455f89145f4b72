// presswick-scan-helper: every SANE call of the print service runs here, in a process of its own, so that
// a backend that hangs can be killed and one that crashes ends only this process. The request comes on
// the command line; the answer goes out as frames on standard output (helper_frames.h).
//   presswick-scan-helper list
//   presswick-scan-helper scan DEVICE DPI COLOUR_MODE SOURCE
// From the flatbed (source 0) a scan is one page; from the feeder (1, or 2 for both sides) it is every
// side of every sheet, one SANE session, until the scanner reports the feeder empty. SIGTERM cancels the
// scan in the scanner (sane_cancel, which SANE allows from a signal handler): what has arrived of the page
// being read is dropped, the pages before it stay sent. SIGUSR1 does the same: backends that run a
// reader thread reset SIGTERM for the whole process (SANE's test backend does), and leave it alone.
#include <sane/sane.h>
#include <signal.h>
#include <sys/prctl.h>

#include <atomic>
#include <charconv>
#include <string>
#include <string_view>

#include "frame_writer.h"
#include "page_scan.h"
#include "sane_settings.h"

namespace {

using namespace os_actions::printing;
using helper::FrameWriter;
using helper_frames::Kind;

std::string with_status(const std::string& what, SANE_Status status) {
    return what + ": " + sane_strstatus(status);
}

struct SaneSession {
    SANE_Status status;
    SaneSession() {
        SANE_Int version = 0;
        status = sane_init(&version, nullptr);
    }
    ~SaneSession() {
        if (status == SANE_STATUS_GOOD) {
            sane_exit();
        }
    }
};

volatile sig_atomic_t g_cancelled = 0;
std::atomic<SANE_Handle> g_scanning{nullptr};

extern "C" void cancel_scan(int) {
    g_cancelled = 1;
    if (SANE_Handle handle = g_scanning.load()) {
        sane_cancel(handle);
    }
}

struct Device {
    SANE_Handle handle = nullptr;
    ~Device() {
        g_scanning.store(nullptr);
        if (handle) {
            sane_cancel(handle);
            sane_close(handle);
        }
    }
};

// "a" for a feeder, "d" for two-sided, read from the opened device; nothing when it cannot be opened
// (busy, or gone), so that its sources stay unknown rather than missing.
std::optional<std::string> sources_text(const char* name) {
    Device device;
    if (sane_open(name, &device.handle) != SANE_STATUS_GOOD) {
        device.handle = nullptr;
        return std::nullopt;
    }
    const auto sources = helper::sources_of(device.handle);
    return std::string(sources.feeder ? "a" : "") + (sources.two_sided ? "d" : "");
}

int list(FrameWriter& out) {
    SaneSession sane;
    if (sane.status != SANE_STATUS_GOOD) {
        out.failed(with_status("Could not start SANE", sane.status));
        return 0;
    }
    const SANE_Device** devices = nullptr;
    if (const auto status = sane_get_devices(&devices, SANE_FALSE); status != SANE_STATUS_GOOD) {
        out.failed(with_status("Could not list scanners", status));
        return 0;
    }
    for (auto** device = devices; device && *device; ++device) {
        const auto* d = *device;
        if (!d->name) {
            continue;
        }
        std::string name;
        for (const char* part : {d->vendor, d->model}) {
            if (part && *part) {
                name += (name.empty() ? "" : " ") + std::string(part);
            }
        }
        out.scanner(d->name, name.empty() ? d->name : name, sources_text(d->name));
    }
    out.finished();
    return 0;
}

std::optional<unsigned> number(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int scan(FrameWriter& out, const std::string& device_name, const ScanSettings& settings) {
    out.step(Kind::opening);
    SaneSession sane;
    if (sane.status != SANE_STATUS_GOOD) {
        out.failed(with_status("Could not start SANE", sane.status));
        return 0;
    }
    Device device;
    if (const auto status = sane_open(device_name.c_str(), &device.handle); status != SANE_STATUS_GOOD) {
        device.handle = nullptr;
        out.failed(with_status("Could not open scanner " + device_name, status));
        return 0;
    }
    const auto dpi = helper::apply_settings(device.handle, settings);
    if (!dpi) {
        out.failed(dpi.error());
        return 0;
    }
    g_scanning.store(device.handle);
    if (g_cancelled != 0) {
        out.finished();
        return 0;
    }
    const bool feeder = settings.source != ScanSource::flatbed;
    for (std::size_t pages = 0;; ++pages) {
        auto page = helper::scan_page(device.handle, *dpi, out);
        if (g_cancelled != 0) {
            break;  // the sheet being read is dropped
        }
        if (!page) {
            if (feeder && page.error() == helper::no_sheet_left) {
                if (pages == 0) {
                    out.feeder_empty();
                    return 0;
                }
                break;
            }
            out.failed(page.error());
            return 0;
        }
        out.page_done();
        if (!feeder) {
            break;
        }
    }
    out.finished();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A helper whose service has gone must not keep a scanner busy.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    struct sigaction cancel {};
    cancel.sa_handler = cancel_scan;
    ::sigemptyset(&cancel.sa_mask);
    ::sigaction(SIGTERM, &cancel, nullptr);
    ::sigaction(SIGUSR1, &cancel, nullptr);
    FrameWriter out;
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "list" && argc == 2) {
        return list(out);
    }
    if (command == "scan" && argc == 6) {
        const auto dpi = number(argv[3]);
        const auto mode = number(argv[4]);
        const auto source = number(argv[5]);
        if (dpi && mode && source && *dpi <= 65535 && *mode <= 255 && *source <= 255) {
            return scan(out, argv[2],
                        ScanSettings{.resolution_dpi = static_cast<std::uint16_t>(*dpi),
                                     .colour_mode = static_cast<ScanColourMode>(*mode),
                                     .source = static_cast<ScanSource>(*source)});
        }
    }
    out.failed("usage: presswick-scan-helper list | scan DEVICE DPI COLOUR_MODE SOURCE");
    return 2;
}
