// Rights for printer and job operations: libcups never asks a terminal for a password; an operation the
// local server refuses for lack of rights goes through polkit (cups-pk-helper), and a server elsewhere
// is offered the credentials the user gave for it this session, once per request.
#pragma once

#include <cups/cups.h>

#include <string>

#include "printing/printing.h"

namespace os_actions::printing::cups {

// Installs this thread's password callback, once per thread: libcups keeps the callback per thread and
// otherwise falls back to reading the controlling terminal. Every entry point calls it first.
void guard_thread();

// One request's sign-in: while it lives, the password callback offers the stored credentials for the
// server once (a second ask means they were refused, and the request then ends); it wipes them after.
class OneSignIn {
  public:
    OneSignIn();
    ~OneSignIn();
    OneSignIn(const OneSignIn&) = delete;
    OneSignIn& operator=(const OneSignIn&) = delete;
};

// Whether a request failed because the user lacks the rights (or gave no credentials) for it.
[[nodiscard]] bool refused_for_rights(ipp_status_t status);

// Whether libcups talks to a server on this machine (a local socket, loopback, this machine's host name
// or one of its addresses), the only server the system's polkit mechanism acts on.
[[nodiscard]] bool server_is_local();

// The failure of a request to a server elsewhere that wants credentials or refused those offered, else
// `otherwise`.
[[nodiscard]] ServiceError failure_of(ipp_status_t status, std::string otherwise);

}  // namespace os_actions::printing::cups
