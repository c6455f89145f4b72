#include "cups_user_default.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/replace_file.h"
#include "cups_client.h"
#include "cups_handles.h"
#include "parsing.h"

namespace os_actions::printing::cups {

namespace {

// Where the per-user default lives instead of ~/.cups when a private print system asks for it
// (libcups 2.4 has no such setting of its own: it always writes $HOME/.cups/lpoptions).
std::optional<std::filesystem::path> private_user_config() {
    const char* dir = std::getenv("PRESSWICK_CUPS_USERCONFIG");
    if (!dir || !*dir) {
        return std::nullopt;
    }
    return std::filesystem::path(dir);
}

std::optional<std::string> read_private_default(const std::filesystem::path& dir) {
    std::ifstream in(dir / "lpoptions");
    if (!in) {
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    return detail::lpoptions_default(text.str());
}

Result<void> write_private_default(const std::filesystem::path& dir, const std::string& queue) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto target = dir / "lpoptions";
    if (auto written = base::replace_file(target, "Default " + queue + "\n"); !written) {
        return failure("Could not write " + target.string() + ": " + written.error().message());
    }
    return {};
}

}  // namespace

// The user's preferred destination: the private one when set, else what libcups reports (LPDEST,
// PRINTER, lpoptions, then the server default).
std::optional<std::string> preferred_queue(http_t* http, const std::vector<PrintQueue>& known) {
    auto exists = [&](const std::string& name) {
        return std::ranges::any_of(known, [&](const PrintQueue& q) { return q.name == name; });
    };
    if (const auto dir = private_user_config()) {
        if (auto chosen = read_private_default(*dir); chosen && exists(*chosen)) {
            return chosen;
        }
        if (const char* server_default = cupsGetDefault2(http)) {
            return std::string(server_default);
        }
        return std::nullopt;
    }
    const Destination dest(cupsGetNamedDest(http, nullptr, nullptr));
    if (!dest) {
        return std::nullopt;
    }
    return std::string(dest->name);
}

OperationResult set_default(const std::string& queue) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    if (const auto dir = private_user_config()) {
        auto request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, printer_uri(queue));
        request_attributes(request.get(), {"printer-name"});
        if (auto response = send(http->get(), request.release()); !response) {
            return failure("No printer " + queue + ": " + response.error());
        }
        return write_private_default(*dir, queue);
    }
    const Destinations dests(http->get());
    bool found = false;
    for (auto& dest : dests.all()) {
        dest.is_default = !dest.instance && queue == dest.name;
        found = found || dest.is_default;
    }
    if (!found) {
        return failure("No printer " + queue);
    }
    if (cupsSetDests2(http->get(), dests.count(), dests.get()) != 0) {
        return failure("Could not save the preferred printer: " + last_error());
    }
    return {};
}

}  // namespace os_actions::printing::cups
