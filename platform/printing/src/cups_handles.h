// RAII owners for libcups objects, and the connection every call makes to the print server.
#pragma once

#include <cups/cups.h>

#include <memory>
#include <string>

#include "printing/printing.h"

namespace os_actions::printing::cups {

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Http = std::unique_ptr<http_t, HttpClose>;
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// How long connecting to the server, and waiting for one answer, may take.
inline constexpr int server_timeout_ms = 3000;

// A connection to the print server libcups is configured for, or why there is none.
[[nodiscard]] Result<Http> connect_server();
// Sends a request and takes the response; a failure carries the server's status text.
[[nodiscard]] Result<Ipp> send(http_t* http, ipp_t* request, const char* resource = "/");
// ipp://localhost/printers/NAME, the address the server knows a queue by.
[[nodiscard]] std::string printer_uri(const std::string& queue);

}  // namespace os_actions::printing::cups
