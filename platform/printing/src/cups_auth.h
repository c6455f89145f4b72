// Rights for printer and job operations: libcups never asks a terminal for a password, and an
// operation the local server refuses for lack of rights goes through polkit (cups-pk-helper).
#pragma once

#include <cups/cups.h>

namespace os_actions::printing::cups {

// Installs this thread's password callback, once per thread: libcups keeps the callback per thread and
// otherwise falls back to reading the controlling terminal. Every entry point calls it first.
void guard_thread();

// Whether a request failed because the user lacks the rights (or gave no credentials) for it.
[[nodiscard]] bool refused_for_rights(ipp_status_t status);

// Whether libcups talks to a server on this machine (a local socket or a loopback address), the only
// server the system's polkit mechanism acts on.
[[nodiscard]] bool server_is_local();

}  // namespace os_actions::printing::cups
