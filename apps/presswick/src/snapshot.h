// DeviceSnapshot: printers, jobs and scanners read together by one refresh worker, applied whole.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "kora_ui/channel.h"
#include "printing/printing.h"

namespace presswick {

namespace printing = os_actions::printing;

// A loaded list or the service's failure message.
template <class T>
using Section = std::expected<std::vector<T>, std::string>;

struct DeviceSnapshot {
    Section<printing::PrintQueue> printers;
    Section<printing::PrintJob> jobs;
    Section<printing::Scanner> scanners;
    bool operator==(const DeviceSnapshot&) const = default;
};

// Starts "kora-presswick-refresh"; the receiver, or nothing when the thread could not be started.
[[nodiscard]] std::optional<kora_ui::Receiver<DeviceSnapshot>> start_refresh();

}  // namespace presswick
