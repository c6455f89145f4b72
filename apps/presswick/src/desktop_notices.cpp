#include "desktop_notices.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>

#include "display.h"
#include "views/common.h"

namespace presswick {

namespace printing = os_actions::printing;
using kora_ui::notifications::Notification;

namespace {

constexpr const char* kGenericAdvice = N_("The printer reported a condition that may need attention.");
constexpr std::string_view kConnecting = "connecting-to-device";

const printing::PrintQueue* find_printer(const DeviceSnapshot& snapshot, const std::string& name) {
    if (!snapshot.printers) {
        return nullptr;
    }
    const auto it = std::ranges::find(*snapshot.printers, name, &printing::PrintQueue::name);
    return it == snapshot.printers->end() ? nullptr : &*it;
}

const printing::PrintJob* find_job(const DeviceSnapshot& snapshot, const std::string& id) {
    if (!snapshot.jobs) {
        return nullptr;
    }
    const auto it = std::ranges::find(*snapshot.jobs, id, &printing::PrintJob::id);
    return it == snapshot.jobs->end() ? nullptr : &*it;
}

bool has(const std::vector<std::string>& list, std::string_view item) {
    return std::ranges::find(list, item) != list.end();
}

// "A", "A and B", "A, B and C".
std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i == 0) {
            out = names[i];
        } else if (i + 1 == names.size()) {
            // TRANSLATORS: the last two names of a list of supplies, "Cyan, Magenta and Yellow".
            out = views::fill(kora_ui::tr("{} and {}"), out, names[i]);
        } else {
            // TRANSLATORS: two names of a list of supplies that goes on, "Cyan, Magenta".
            out = views::fill(kora_ui::tr("{}, {}"), out, names[i]);
        }
    }
    return out;
}

std::vector<std::string> low_names(const printing::PrintQueue& printer) {
    std::vector<std::string> names;
    for (const auto* supply : views::low_supplies(printer)) {
        names.push_back(supply->name);
    }
    return names;
}

void job_notices(const DeviceSnapshot& before, const DeviceSnapshot& after, const NoticeMemory& memory,
                 std::vector<Notification>& out) {
    if (!after.jobs || memory.own_user.empty()) {
        return;
    }
    const std::string queue(kQueueTarget);
    for (const auto& job : *after.jobs) {
        const auto* was = find_job(before, job.id);
        if (!was || job.owner != memory.own_user ||
            was->state.value_or(printing::JobState::unknown) > printing::JobState::needs_attention) {
            continue;  // not the user's, or not one that was on its way
        }
        const auto title = document_title(job);
        if (job.state == printing::JobState::printed) {
            out.push_back({views::fill(kora_ui::tr("Printed: {}"), title), "", queue});
        } else if (job.state == printing::JobState::not_printed) {
            out.push_back({views::fill(kora_ui::tr("Could not print {}"), title),
                           job.message.value_or(kora_ui::tr("The printer stopped this document.")), queue});
        } else if (has(job.reasons, "cups-held-for-authentication") &&
                   !has(was->reasons, "cups-held-for-authentication")) {
            out.push_back({views::fill(kora_ui::tr("{} waits for you to sign in"), title),
                           kora_ui::tr("The print server asks who you are before it prints this document."),
                           queue});
        }
    }
}

void printer_notices(const DeviceSnapshot& before, const DeviceSnapshot& after, NoticeMemory& memory,
                     std::chrono::steady_clock::time_point now, std::vector<Notification>& out) {
    if (!after.printers) {
        return;
    }
    for (const auto& printer : *after.printers) {
        const auto target = std::string(kDeviceTarget) + printer.name;
        const auto name = display_name(printer.name);
        // Connecting to the device is a matter only when it lasts.
        if (has(printer.state_reasons, kConnecting)) {
            const auto since = memory.connecting_since.try_emplace(printer.name, now).first->second;
            if (now - since >= kConnectingPatience && memory.connecting_told.insert(printer.name).second) {
                out.push_back({views::fill(kora_ui::tr("{} needs attention"), name),
                               views::condition_advice("offline"), target});
            }
        } else {
            memory.connecting_since.erase(printer.name);
            memory.connecting_told.erase(printer.name);
        }
        const auto* was = find_printer(before, printer.name);
        if (!was) {
            continue;  // new here: nothing crossed
        }
        for (const auto& reason : printer.state_reasons) {
            const auto advice = views::condition_advice(reason);
            const bool supply = reason.find("-low") != std::string::npos;  // told with the levels below
            if (advice != kora_ui::tr(kGenericAdvice) && !supply && !has(was->state_reasons, reason)) {
                out.push_back({views::fill(kora_ui::tr("{} needs attention"), name), advice, target});
                break;  // one a printer, the first new condition
            }
        }
        const auto low = low_names(printer);
        const auto low_before = low_names(*was);
        const bool crossed = std::ranges::any_of(low, [&](const auto& n) { return !has(low_before, n); });
        if (crossed) {
            out.push_back({views::fill(kora_ui::tr("{} is low on {}"), name, joined(low)),
                           views::condition_advice("marker-supply-low"), target});
        }
    }
}

}  // namespace

std::vector<Notification> desktop_notices(const DeviceSnapshot& before, const DeviceSnapshot& after,
                                          NoticeMemory& memory, std::chrono::steady_clock::time_point now) {
    std::vector<Notification> out;
    job_notices(before, after, memory, out);
    printer_notices(before, after, memory, now, out);
    return out;
}

std::string this_user() {
    if (const auto* entry = ::getpwuid(::geteuid())) {
        return entry->pw_name;
    }
    return {};
}

}  // namespace presswick
