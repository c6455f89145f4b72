// DeviceSnapshot: printers, jobs and scanners read together by one refresh worker, applied whole.
#pragma once

#include <expected>
#include <functional>
#include <memory>
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

// --- Live updates --------------------------------------------------------------------------------------

// `last` with the records the changes name replaced by those read again (`printers_read`, `jobs_read`:
// the named reads' answers). A name the read did not return is gone; a new one joins in the service's
// order. A failed read, or a section that had failed, is read whole instead (`read_all`).
struct WholeReads {
    std::function<Section<printing::PrintQueue>()> printers;
    std::function<Section<printing::PrintJob>()> jobs;
};
[[nodiscard]] DeviceSnapshot updated_snapshot(DeviceSnapshot last, const printing::Changes& changes,
                                              const WholeReads& read_all);

// Starts "kora-presswick-update", which builds updated_snapshot from the print service; the receiver,
// or nothing when the thread could not be started.
[[nodiscard]] std::optional<kora_ui::Receiver<DeviceSnapshot>> start_update(DeviceSnapshot last,
                                                                            printing::Changes changes);

// Starts watching the print server; what it reports arrives on `changes`. Nothing when it cannot watch.
[[nodiscard]] std::unique_ptr<printing::Watch> start_watch(kora_ui::Sender<printing::Changes> changes);

}  // namespace presswick
