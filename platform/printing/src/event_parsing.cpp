// What the server's notifications say changed, and merging such changes.
#include <algorithm>

#include "parsing.h"

namespace os_actions::printing {

void Changes::merge(const Changes& later) {
    everything = everything || later.everything;
    auto add = [](std::vector<std::string>& to, const std::vector<std::string>& from) {
        for (const auto& name : from) {
            if (std::ranges::find(to, name) == to.end()) {
                to.push_back(name);
            }
        }
    };
    add(printers, later.printers);
    add(jobs, later.jobs);
}

}  // namespace os_actions::printing

namespace os_actions::printing::detail {

Changes changes_from(const std::vector<NotifyEvent>& events, int expected_sequence) {
    Changes out;
    auto add = [](std::vector<std::string>& to, std::string name) {
        if (std::ranges::find(to, name) == to.end()) {
            to.push_back(std::move(name));
        }
    };
    if (!events.empty() && events.front().sequence > expected_sequence) {
        out.everything = true;
    }
    for (const auto& event : events) {
        if (event.kind.starts_with("job-")) {
            if (event.printer.empty() || event.job <= 0) {
                out.everything = true;
            } else {
                add(out.jobs, event.printer + "-" + std::to_string(event.job));
            }
        } else if (event.kind.starts_with("printer-") && !event.printer.empty()) {
            add(out.printers, event.printer);
        } else {
            out.everything = true;  // the server's own events, or a printer event without its name
        }
    }
    return out;
}

}  // namespace os_actions::printing::detail
