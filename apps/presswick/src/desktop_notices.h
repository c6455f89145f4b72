// Desktop notifications of what a live update brought: the user's own documents that printed, could
// not print or wait for a sign-in, printers that came to need attention, supplies that ran low. Pure:
// the executor shows them, and only while the window is not the active one.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "kora_ui/notifications.h"
#include "snapshot.h"

namespace presswick {

// What earlier updates told, so that each thing is told once.
struct NoticeMemory {
    std::string own_user;  // whose documents are "the user's own"
    std::map<std::string, std::chrono::steady_clock::time_point> connecting_since;  // by printer
    std::set<std::string> connecting_told;
};

// How long a printer may be connecting to its device before that needs attention.
inline constexpr auto kConnectingPatience = std::chrono::seconds(60);

// Targets of the notifications, for the page that shows the thing.
inline constexpr std::string_view kQueueTarget = "queue";
inline constexpr std::string_view kDeviceTarget = "device:";

[[nodiscard]] std::vector<kora_ui::notifications::Notification> desktop_notices(
    const DeviceSnapshot& before, const DeviceSnapshot& after, NoticeMemory& memory,
    std::chrono::steady_clock::time_point now);

// The name of the account the program runs as.
[[nodiscard]] std::string this_user();

}  // namespace presswick
