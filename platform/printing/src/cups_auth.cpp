#include "cups_auth.h"

#include <string_view>

namespace os_actions::printing::cups {

namespace {
// No credentials to offer: libcups then ends the request at once with "authentication canceled",
// which the caller turns into the polkit path or its own failure notice.
const char* no_password(const char* /*prompt*/, http_t* /*http*/, const char* /*method*/,
                        const char* /*resource*/, void* /*data*/) {
    return nullptr;
}
}  // namespace

void guard_thread() {
    thread_local bool installed = false;
    if (!installed) {
        cupsSetPasswordCB2(no_password, nullptr);
        installed = true;
    }
}

bool refused_for_rights(ipp_status_t status) {
    return status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
           status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
           status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

bool server_is_local() {
    const std::string_view server = cupsServer();
    return server.starts_with('/') || server == "localhost" || server.starts_with("127.") ||
           server == "::1" || server == "[::1]";
}

}  // namespace os_actions::printing::cups
