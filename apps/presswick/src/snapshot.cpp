#include "snapshot.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

namespace {

// Replaces, adds and removes the named records of a loaded section. `order` tells where a new record
// goes: the service lists queues as it likes (a new one goes last) and jobs by number.
template <class T, class Key, class Before>
void replace_named(std::vector<T>& section, const std::vector<std::string>& names, std::vector<T> read,
                   Key key, Before before) {
    std::erase_if(section, [&](const T& record) {
        const auto name = key(record);
        return std::ranges::find(names, name) != names.end() &&
               std::ranges::none_of(read, [&](const T& r) { return key(r) == name; });
    });
    for (auto& record : read) {
        auto it = std::ranges::find_if(section, [&](const T& r) { return key(r) == key(record); });
        if (it != section.end()) {
            *it = std::move(record);
            continue;
        }
        auto at = std::ranges::find_if(section, [&](const T& r) { return before(record, r); });
        section.insert(at, std::move(record));
    }
}

std::string lower(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "Queue-12" → 12, for ordering jobs as the service lists them.
long job_number(const std::string& id) {
    const auto dash = id.rfind('-');
    return dash == std::string::npos ? 0 : std::atol(id.c_str() + dash + 1);
}

}  // namespace

DeviceSnapshot updated_snapshot(DeviceSnapshot last, const printing::Changes& changes,
                                const WholeReads& read_all) {
    if (changes.everything || !last.printers) {
        last.printers = read_all.printers();
    } else if (!changes.printers.empty()) {
        if (auto read = printing::queues_named(changes.printers)) {
            replace_named(
                *last.printers, changes.printers, std::move(*read),
                [](const printing::PrintQueue& q) { return q.name; },
                [](const printing::PrintQueue& a, const printing::PrintQueue& b) {
                    return lower(a.name) < lower(b.name);  // the server lists them by name
                });
        } else {
            last.printers = read_all.printers();
        }
    }
    if (changes.everything || !last.jobs) {
        last.jobs = read_all.jobs();
    } else if (!changes.jobs.empty()) {
        if (auto read = printing::jobs_named(changes.jobs)) {
            replace_named(
                *last.jobs, changes.jobs, std::move(*read), [](const printing::PrintJob& j) { return j.id; },
                [](const printing::PrintJob& a, const printing::PrintJob& b) {
                    return job_number(a.id) < job_number(b.id);
                });
        } else {
            last.jobs = read_all.jobs();
        }
    }
    return last;
}

std::optional<kora_ui::Receiver<DeviceSnapshot>> start_update(DeviceSnapshot last,
                                                              printing::Changes changes) {
    auto [sender, receiver] = kora_ui::channel<DeviceSnapshot>();
    const bool started = workers::spawn_worker(
        "kora-presswick-update",
        [sender = std::move(sender), last = std::move(last), changes = std::move(changes)]() mutable {
            const WholeReads whole{[] { return printing::queues(); },
                                   [] {
                                       return printing::jobs();
                                   }};
            (void)sender.send(updated_snapshot(std::move(last), changes, whole));
        });
    if (!started) {
        return std::nullopt;
    }
    return std::move(receiver);
}

std::unique_ptr<printing::Watch> start_watch(kora_ui::Sender<printing::Changes> changes) {
    return printing::watch([changes = std::move(changes)](printing::Changes reported) {
        (void)changes.send(std::move(reported));
    });
}

}  // namespace presswick
