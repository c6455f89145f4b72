// The connection every CUPS call makes and the request helpers shared by the CUPS files.
#include "cups_client.h"

#include <cerrno>
#include <cstring>

#include "cups_auth.h"
#include "cups_handles.h"

namespace os_actions::printing::cups {

Result<Http> connect_server() {
    guard_thread();
    const char* server = cupsServer();
    Http http(
        httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, server_timeout_ms, nullptr));
    if (!http) {
        return failure(std::string("Could not reach the print server at ") + server + ": " +
                       (errno ? std::strerror(errno) : last_error()));
    }
    httpSetTimeout(http.get(), server_timeout_ms / 1000.0, nullptr, nullptr);
    return http;
}

Result<Ipp> send(http_t* http, ipp_t* request, const char* resource) {
    const OneSignIn sign_in;
    Ipp response(cupsDoRequest(http, request, resource));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        return failure(last_error());
    }
    return response;
}

std::string printer_uri(const std::string& queue) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.c_str());
    return uri;
}

}  // namespace os_actions::printing::cups
