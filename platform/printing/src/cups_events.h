// Live changes from the print server: one event subscription on "/" (pulled with Get-Notifications),
// woken by cupsd's D-Bus signals when the server is this machine, waited on at the server otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "printing/printing.h"

namespace os_actions::printing::cups {

// The watch of the server libcups is configured for. It ends by itself (reporting nothing more) when
// the server refuses subscriptions.
[[nodiscard]] std::unique_ptr<Watch> watch(ChangesCallback on_change);

namespace events {

// The events a subscription asks for: every job and printer change, and the server's own.
inline constexpr const char* subscribed[] = {"job-created",      "job-completed",         "job-state-changed",
                                             "job-progress",     "printer-added",         "printer-deleted",
                                             "printer-modified", "printer-state-changed", "server-restarted"};
inline constexpr int lease_seconds = 3600;

}  // namespace events

}  // namespace os_actions::printing::cups
