// The print queues the server lists, with whether each device answers and which one is preferred.
#include <optional>

#include "cups_auth.h"
#include "cups_client.h"
#include "cups_handles.h"
#include "cups_user_default.h"
#include "device_probe.h"
#include "parsing.h"

namespace os_actions::printing::cups {

namespace {

const std::vector<const char*> queue_attributes = {
    "printer-name", "printer-state",        "printer-state-reasons", "printer-is-accepting-jobs",
    "marker-names", "marker-colors",        "marker-levels",         "marker-low-levels",
    "device-uri",   "printer-state-message"};

struct QueueRow {
    PrintQueue queue;
    int ipp_state = 3;
    std::string device_uri;
};

QueueRow queue_row(const std::vector<ipp_attribute_t*>& group) {
    QueueRow row;
    std::vector<std::string> names, colours;
    std::vector<int> levels, low_levels;
    for (auto* attr : group) {
        const std::string_view name = ippGetName(attr);
        if (name == "printer-name") {
            row.queue.name = ippGetString(attr, 0, nullptr);
        } else if (name == "printer-state") {
            row.ipp_state = ippGetInteger(attr, 0);
        } else if (name == "printer-state-reasons") {
            row.queue.state_reasons = detail::clean_reasons(strings_of(attr));
        } else if (name == "printer-is-accepting-jobs") {
            row.queue.accepting = ippGetBoolean(attr, 0) != 0;
        } else if (name == "marker-names") {
            names = strings_of(attr);
        } else if (name == "marker-colors") {
            colours = strings_of(attr);
        } else if (name == "marker-levels") {
            levels = integers_of(attr);
        } else if (name == "marker-low-levels") {
            low_levels = integers_of(attr);
        } else if (name == "device-uri") {
            row.device_uri = ippGetString(attr, 0, nullptr);
        }
    }
    row.queue.supplies = detail::parse_supplies(names, colours, levels, low_levels);
    return row;
}

// The records of queue rows: whether each device answers (asked only here), state, the preferred one.
std::vector<PrintQueue> finish_queues(http_t* http, std::vector<QueueRow> rows) {
    // Devices are asked only when the server is this machine: one elsewhere may reach devices this
    // machine cannot, and its own reasons then say whether a device answers it.
    const bool local = server_is_local();
    std::vector<std::string> network_uris;
    std::vector<std::size_t> network_rows;
    for (std::size_t i = 0; local && i < rows.size(); ++i) {
        if (detail::is_network_device(rows[i].device_uri)) {
            network_uris.push_back(rows[i].device_uri);
            network_rows.push_back(i);
        }
    }
    const auto answers = probe::check(network_uris);
    std::vector<std::optional<bool>> device_answered(rows.size());
    for (std::size_t k = 0; k < network_rows.size(); ++k) {
        // A probe that did not finish within this check counts as no answer.
        device_answered[network_rows[k]] = answers[k] && answers[k]->answered;
    }

    std::vector<PrintQueue> out;
    out.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto& row = rows[i];
        row.queue.answered =
            detail::queue_answered(row.ipp_state, row.queue.state_reasons, local, device_answered[i]);
        row.queue.state = detail::queue_state(row.ipp_state, row.queue.state_reasons, row.queue.answered);
        out.push_back(std::move(row.queue));
    }
    if (const auto preferred = preferred_queue(http, out)) {
        for (auto& q : out) {
            q.is_default = q.name == *preferred;
        }
    }
    return out;

}  // namespace

}  // namespace

Result<std::vector<PrintQueue>> queues() {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    Ipp request(ippNewRequest(IPP_OP_CUPS_GET_PRINTERS));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    request_attributes(request.get(), queue_attributes);
    auto response = send(http->get(), request.release());
    if (!response) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            return std::vector<PrintQueue>{};  // a server without queues
        }
        return std::unexpected("Could not list printers: " + response.error());
    }
    std::vector<QueueRow> rows;
    for_each_group(response->get(), IPP_TAG_PRINTER, [&](const auto& group) {
        auto row = queue_row(group);
        if (!row.queue.name.empty()) {
            rows.push_back(std::move(row));
        }
    });
    return finish_queues(http->get(), std::move(rows));
}

Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    std::vector<QueueRow> rows;
    for (const auto& name : names) {
        auto request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, printer_uri(name));
        request_attributes(request.get(), queue_attributes);
        auto response = send(http->get(), request.release());
        if (!response) {
            if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
                continue;  // deleted
            }
            return std::unexpected("Could not read printer " + name + ": " + response.error());
        }
        for_each_group(response->get(), IPP_TAG_PRINTER, [&](const auto& group) {
            auto row = queue_row(group);
            if (!row.queue.name.empty()) {
                rows.push_back(std::move(row));
            }
        });
    }
    return finish_queues(http->get(), std::move(rows));
}

}  // namespace os_actions::printing::cups
