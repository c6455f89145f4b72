#include "cups_auth.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>  // strcasecmp
#include <unistd.h>

#include <array>
#include <vector>

#include <string_view>

#include "credentials.h"
#include "parsing.h"
#include "printing/printing.h"

namespace os_actions::printing::cups {

namespace {

// What this thread's current request has offered: whether it asked already, and the password libcups
// reads from the callback's answer (kept until the request ends, then wiped).
struct SignInState {
    bool asked = false;
    bool offered = false;
    bool refused = false;  // asked again after offering: the server did not accept them
    detail::SecretText password;
};

SignInState& sign_in() {
    thread_local SignInState state;
    return state;
}

// Offers the user's credentials for this server once per request; with none stored, or asked again
// because they were refused, libcups ends the request at once with "authentication canceled", which
// the caller turns into the polkit path or a request for credentials.
const char* offer_password(const char* /*prompt*/, http_t* http, const char* /*method*/,
                           const char* /*resource*/, void* /*data*/) {
    auto& state = sign_in();
    if (state.asked) {
        if (state.offered && !state.refused) {
            state.refused = true;
            detail::forget_credentials(cupsServer());  // never offered again: the next request asks
        }
        return nullptr;
    }
    state.asked = true;
    // Only the print server itself is told: a device asked directly (a probe) may be any host.
    char host[256] = "";
    if (!http || !httpGetHostname(http, host, sizeof host) || strcasecmp(host, cupsServer()) != 0) {
        return nullptr;
    }
    auto credentials = detail::stored_credentials(cupsServer());
    if (!credentials) {
        return nullptr;
    }
    cupsSetUser(credentials->user.c_str());  // libcups pairs the password with this thread's user
    state.password = std::move(credentials->password);
    detail::wipe(credentials->user);
    state.offered = true;
    return state.password.c_str();
}

// Whether the latest request on this thread failed for want of credentials the user could give: none
// were given, or those given were refused. Forbidden after a sign-in: that user may not do it, another
// (an administrator) may.
bool wants_credentials(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
           status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED ||
           (status == IPP_STATUS_ERROR_FORBIDDEN && sign_in().offered);
}

}  // namespace

void guard_thread() {
    thread_local bool installed = false;
    if (!installed) {
        cupsSetPasswordCB2(offer_password, nullptr);
        installed = true;
    }
}

OneSignIn::OneSignIn() {
    sign_in().asked = false;
    sign_in().offered = false;
    sign_in().refused = false;
}

OneSignIn::~OneSignIn() {
    sign_in().password.clear();
}

bool refused_for_rights(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
           status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
           status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

bool server_is_local() {
    std::array<char, 256> host{};
    if (::gethostname(host.data(), host.size() - 1) != 0) {
        host[0] = '\0';
    }
    std::vector<std::string> addresses;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (const ifaddrs* it = interfaces; it != nullptr; it = it->ifa_next) {
            if (it->ifa_addr == nullptr) {
                continue;
            }
            const int family = it->ifa_addr->sa_family;
            if (family != AF_INET && family != AF_INET6) {
                continue;
            }
            std::array<char, NI_MAXHOST> text{};
            const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
            if (::getnameinfo(it->ifa_addr, length, text.data(), text.size(), nullptr, 0, NI_NUMERICHOST) ==
                0) {
                addresses.emplace_back(text.data());
            }
        }
        ::freeifaddrs(interfaces);
    }
    return detail::names_this_machine(cupsServer(), host.data(), addresses);
}

ServiceError failure_of(ipp_status_t status, std::string otherwise) {
    if (sign_in().refused && !server_is_local()) {
        return credentials_refused_error();
    }
    if (wants_credentials(status) && !server_is_local()) {
        return credentials_wanted_error(cupsServer());
    }
    return otherwise;
}

}  // namespace os_actions::printing::cups
