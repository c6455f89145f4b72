#include "snapshot.h"

#include <utility>

#include "display.h"
#include "workers.h"

namespace presswick {

std::optional<kora_ui::Receiver<DeviceSnapshot>> start_refresh() {
    auto [sender, receiver] = kora_ui::channel<DeviceSnapshot>();
    const bool started = workers::spawn_worker("kora-presswick-refresh", [sender = std::move(sender)] {
        // One after another, whatever the earlier ones returned.
        auto printers = printing::queues();
        auto jobs = printing::jobs();
        auto scanners = printing::scanners();
        if (scanners) {
            tell_scanners_apart(*scanners);
        }
        (void)sender.send(DeviceSnapshot{std::move(printers), std::move(jobs), std::move(scanners)});
    });
    if (!started) {
        return std::nullopt;
    }
    return std::move(receiver);
}

}  // namespace presswick
