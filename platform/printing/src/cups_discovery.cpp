// Finding driverless printers on the network and adding one as a queue: printers already set up are
// not offered again, a new queue takes a free name, is not shared, and counts as added once the server
// has made its model.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "base/unique_fd.h"
#include "cups_auth.h"
#include "cups_client.h"
#include "cups_handles.h"
#include "device_probe.h"
#include "parsing.h"
#include "pk_helper.h"

namespace os_actions::printing::cups {

namespace {

// The queues already set up: their names, and their devices by address and by what the devices said
// of themselves to the latest probe (identity, DNS-SD name).
struct SetUpDevices {
    std::vector<std::string> names;
    std::vector<std::string> device_keys;
    std::vector<std::string> uuids;
    std::vector<std::string> service_names;

    // A DNS-SD address is recognised by its name (resolving one to ask the device can take seconds);
    // a plain address by the identity or the DNS-SD name its device gives.
    [[nodiscard]] bool has(const std::string& device_uri) const {
        if (std::ranges::find(device_keys, detail::device_key(device_uri)) != device_keys.end()) {
            return true;
        }
        if (const auto service = detail::dns_sd_instance(device_uri); !service.empty()) {
            return std::ranges::find(service_names, service) != service_names.end();
        }
        const auto answer = probe::check({device_uri}).front();
        if (!answer) {
            return false;
        }
        return (!answer->uuid.empty() &&
                std::ranges::find(uuids, detail::uuid_key(answer->uuid)) != uuids.end()) ||
               (!answer->service_name.empty() &&
                std::ranges::find(service_names, detail::service_key(answer->service_name)) !=
                    service_names.end());
    }
};

SetUpDevices set_up_devices(http_t* http) {
    SetUpDevices known;
    Ipp request(ippNewRequest(IPP_OP_CUPS_GET_PRINTERS));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    request_attributes(request.get(), {"printer-name", "device-uri"});
    auto response = send(http, request.release());
    if (!response) {
        return known;
    }
    std::vector<std::string> network;
    for_each_group(response->get(), IPP_TAG_PRINTER, [&](const auto& group) {
        for (auto* attr : group) {
            const std::string_view name = ippGetName(attr);
            const char* value = ippGetString(attr, 0, nullptr);
            if (name == "printer-name" && value) {
                known.names.emplace_back(value);
            } else if (name == "device-uri" && value) {
                known.device_keys.push_back(detail::device_key(value));
                if (detail::is_network_device(value)) {
                    network.emplace_back(value);
                }
            }
        }
    });
    for (std::size_t i = 0; const auto& answer : probe::check(network)) {
        if (const auto service = detail::dns_sd_instance(network[i++]); !service.empty()) {
            known.service_names.push_back(service);
        }
        if (answer && !answer->uuid.empty()) {
            known.uuids.push_back(detail::uuid_key(answer->uuid));
        }
        if (answer && !answer->service_name.empty()) {
            known.service_names.push_back(detail::service_key(answer->service_name));
        }
    }
    return known;
}

// A new queue is ready once the server has made its model and takes documents; the model is made after
// the queue is created, by asking the printer, so this waits for it, within bounds (deleting or
// re-adding a queue whose model is still being made can also bring cupsd 2.4 down).
Result<void> wait_until_ready(http_t* http, const std::string& queue, const std::string& name) {
    constexpr auto limit = std::chrono::seconds(60);
    const auto end = std::chrono::steady_clock::now() + limit;
    httpSetTimeout(http, server_timeout_ms / 1000.0, nullptr, nullptr);
    for (;;) {
        auto request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, printer_uri(queue));
        request_attributes(request.get(), {"printer-make-and-model", "printer-is-accepting-jobs"});
        if (auto response = send(http, request.release())) {
            const auto* model = ippGetString(
                ippFindAttribute(response->get(), "printer-make-and-model", IPP_TAG_ZERO), 0, nullptr);
            const bool accepting = ippGetBoolean(
                ippFindAttribute(response->get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN), 0);
            // Until the model is made the server calls the queue a raw one.
            if (model && *model && std::string_view(model) != "Local Raw Printer" && accepting) {
                return {};
            }
        }
        if (std::chrono::steady_clock::now() >= end) {
            return failure("Could not add " + name + ": the print server did not finish setting it up");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

bool dns_sd_available() {
    // libcups browses through avahi on the D-Bus system bus; avahi-daemon also keeps this socket.
    const base::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.is_open()) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, "/run/avahi-daemon/socket", sizeof address.sun_path - 1);
    return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

Result<std::vector<DriverlessPrinter>> discover_driverless() {
    guard_thread();
    if (!dns_sd_available()) {
        return failure(
            "No DNS-SD service (avahi-daemon) is running, so printers on the network cannot be found.");
    }
    std::vector<DriverlessPrinter> found;
    auto on_dest = [](void* data, unsigned flags, cups_dest_t* dest) -> int {
        auto& list = *static_cast<std::vector<DriverlessPrinter>*>(data);
        if (flags & CUPS_DEST_FLAGS_REMOVED) {
            return 1;
        }
        const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options);
        const char* type = cupsGetOption("printer-type", dest->num_options, dest->options);
        const bool discovered = type && (std::strtoul(type, nullptr, 10) & CUPS_PRINTER_DISCOVERED);
        if (!uri || !discovered || !detail::is_network_device(uri)) {
            return 1;
        }
        const char* info = cupsGetOption("printer-info", dest->num_options, dest->options);
        const char* location = cupsGetOption("printer-location", dest->num_options, dest->options);
        DriverlessPrinter printer{
            .uri = uri, .name = info && *info ? info : dest->name, .location = std::nullopt};
        if (location && *location) {
            printer.location = location;
        }
        const auto same = std::ranges::find(list, printer.name, &DriverlessPrinter::name);
        if (same == list.end()) {
            list.push_back(std::move(printer));
        } else if (printer.uri.starts_with("ipps:") && !same->uri.starts_with("ipps:")) {
            *same = std::move(printer);
        }
        return 1;
    };
    int cancel = 0;
    if (!cupsEnumDests(CUPS_DEST_FLAGS_NONE, 2500, &cancel, 0, 0, on_dest, &found) && found.empty()) {
        return failure("Could not search for printers: " + last_error());
    }
    if (found.empty()) {
        return found;
    }
    auto http = connect_server();
    if (!http) {
        return found;  // nothing known to leave out
    }
    const auto known = set_up_devices(http->get());
    std::erase_if(found, [&](const DriverlessPrinter& printer) { return known.has(printer.uri); });
    return found;
}

OperationResult add_driverless(const std::string& uri, const std::string& name) {
    if (!uri.starts_with("ipp://") && !uri.starts_with("ipps://")) {
        return failure("Not an IPP printer address: " + uri);
    }
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    const auto known = set_up_devices(http->get());
    if (known.has(uri)) {
        return {};  // already a queue: adding it again would only make a twin
    }
    const auto queue = detail::unique_queue_name(detail::queue_name_from(name), known.names);
    // Making the IPP Everywhere model asks the printer for its capabilities: allow it time.
    httpSetTimeout(http->get(), 60.0, nullptr, nullptr);
    auto request = new_request(IPP_OP_CUPS_ADD_MODIFY_PRINTER, printer_uri(queue));
    // Operation attributes first: a group may not start again once the printer group has begun.
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "ppd-name", nullptr, "everywhere");
    ippAddString(request.get(), IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri.c_str());
    ippAddString(request.get(), IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, name.c_str());
    ippAddBoolean(request.get(), IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddBoolean(request.get(), IPP_TAG_PRINTER, "printer-is-shared", 0);
    ippAddInteger(request.get(), IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    if (auto response = send(http->get(), request.release(), "/admin/"); !response) {
        if (!refused_for_rights(cupsLastError()) || !server_is_local()) {
            return std::unexpected(
                failure_of(cupsLastError(), "Could not add " + name + ": " + response.error()));
        }
        for (auto step : {std::function([&] { return pk::printer_add(queue, uri, "everywhere", name, ""); }),
                          std::function([&] { return pk::printer_set_shared(queue, false); }),
                          std::function([&] { return pk::printer_set_enabled(queue, true); }),
                          std::function([&] { return pk::printer_set_accept_jobs(queue, true); })}) {
            if (auto done = step(); !done) {
                return failure("Could not add " + name + ": " + done.error());
            }
        }
    }
    return wait_until_ready(http->get(), queue, name);
}

}  // namespace os_actions::printing::cups
