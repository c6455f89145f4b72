// Live checks of network printers, for "answered the latest status check": a bounded pool of probes,
// each with a deadline, and answers kept for a while so that no device is asked more than once every
// 30 seconds however often the lists are refreshed.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace os_actions::printing::cups::probe {

struct Answer {
    bool answered = false;
    std::string uuid;          // the device's printer-uuid, when it answered with one
    std::string service_name;  // its DNS-SD instance name (printer-dns-sd-name, else printer-name)
};

inline constexpr std::size_t max_probes = 4;
inline constexpr auto deadline = std::chrono::milliseconds(2000);
inline constexpr auto fresh_for = std::chrono::seconds(30);

// One answer per address, in order: a cached one at once (a probe refreshes it in the background once
// it is older than fresh_for), the others from probes waited for at most the deadline together. A probe
// still running then leaves its address without an answer, and finishes for a later call.
[[nodiscard]] std::vector<std::optional<Answer>> check(const std::vector<std::string>& device_uris);

}  // namespace os_actions::printing::cups::probe
