// presswick-scan-helper: every SANE call of the print service runs here, in a process of its own, so that
// a backend that hangs can be killed and one that crashes ends only this process. The request comes on
// the command line; the answer goes out as frames on standard output (helper_frames.h).
//   presswick-scan-helper list
//   presswick-scan-helper scan DEVICE DPI COLOUR_MODE SOURCE
#include <sane/sane.h>
#include <signal.h>
#include <sys/prctl.h>

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

struct Device {
    SANE_Handle handle = nullptr;
    ~Device() {
        if (handle) {
            sane_cancel(handle);
            sane_close(handle);
        }
    }
};

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
        out.scanner(d->name, name.empty() ? d->name : name);
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
    if (auto page = helper::scan_page(device.handle, *dpi, out); !page) {
        out.failed(page.error());
        return 0;
    }
    out.finished();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A helper whose service has gone must not keep a scanner busy.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
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
                                     .colour_mode = static_cast<std::uint8_t>(*mode),
                                     .source = static_cast<std::uint8_t>(*source)});
        }
    }
    out.failed("usage: presswick-scan-helper list | scan DEVICE DPI COLOUR_MODE SOURCE");
    return 2;
}
