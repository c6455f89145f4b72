// Print queues as the server and the user's settings describe them: supplies, reasons, state, whether
// the server is this machine, option lists and the per-user default.
#include <algorithm>

#include "parse_text.h"
#include "parsing.h"

namespace os_actions::printing::detail {

namespace {

// A reason keyword without its -report / -warning / -error suffix.
std::string_view reason_stem(std::string_view reason) {
    for (std::string_view suffix : {"-report", "-warning", "-error"}) {
        if (reason.size() > suffix.size() && reason.ends_with(suffix)) {
            return reason.substr(0, reason.size() - suffix.size());
        }
    }
    return reason;
}

std::string lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// An address without its IPv6 scope ("fe80::1%eth0" → "fe80::1"), lowercase.
std::string unscoped(std::string_view address) {
    return lowercase(address.substr(0, address.find('%')));
}

}  // namespace

std::optional<std::vector<Supply>> parse_supplies(const std::vector<std::string>& names,
                                                  const std::vector<std::string>& colours,
                                                  const std::vector<int>& levels,
                                                  const std::vector<int>& low_levels) {
    if (names.empty()) {
        return std::nullopt;
    }
    std::vector<Supply> supplies;
    supplies.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        Supply supply{.name = names[i], .colour = std::nullopt, .level = std::nullopt};
        if (i < colours.size() && !colours[i].empty() && colours[i] != "none") {
            supply.colour = colours[i];
        }
        if (i < levels.size() && levels[i] >= 0) {
            supply.level = static_cast<std::uint8_t>(std::min(levels[i], 100));
        }
        if (i < low_levels.size() && low_levels[i] >= 0) {
            supply.low_level = static_cast<std::uint8_t>(std::min(low_levels[i], 100));
        }
        supplies.push_back(std::move(supply));
    }
    return supplies;
}

bool names_this_machine(std::string_view server, std::string_view host_name,
                        const std::vector<std::string>& addresses) {
    if (server.starts_with('/')) {
        return true;
    }
    if (server.size() >= 2 && server.front() == '[' && server.back() == ']') {
        server = server.substr(1, server.size() - 2);
    }
    while (server.ends_with('.')) {  // an absolute name
        server.remove_suffix(1);
    }
    const std::string name = lowercase(server);
    if (name.empty()) {
        return false;
    }
    if (name == "localhost" || name.ends_with(".localhost") || name.starts_with("127.") || name == "::1") {
        return true;
    }
    const std::string host = lowercase(host_name);
    if (!host.empty() && (name == host || name == host + ".local")) {
        return true;
    }
    const std::string address = unscoped(name);
    for (const auto& own : addresses) {
        if (!own.empty() && unscoped(own) == address) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> split_option_list(std::string_view value) {
    std::vector<std::string> out;
    if (value.empty()) {
        return out;
    }
    std::string current;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            current += value[++i];
        } else if (c == ',') {
            out.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(std::move(current));
    return out;
}

std::vector<std::string> clean_reasons(const std::vector<std::string>& reasons) {
    std::vector<std::string> out;
    for (const auto& reason : reasons) {
        if (reason.empty() || reason == "none" || std::ranges::find(out, reason) != out.end()) {
            continue;
        }
        out.push_back(reason);
    }
    return out;
}

bool reason_means_unreachable(std::string_view reason) {
    const auto stem = reason_stem(reason);
    return stem == "offline" || stem == "timed-out" || stem == "cups-offline" || stem == "shutdown";
}

bool reasons_mean_unreachable(const std::vector<std::string>& reasons) {
    return std::ranges::any_of(reasons, [](const std::string& r) { return reason_means_unreachable(r); });
}

bool queue_answered(int ipp_printer_state, const std::vector<std::string>& reasons, bool server_is_local,
                    std::optional<bool> device_answered) {
    if (reasons_mean_unreachable(reasons)) {
        return false;
    }
    if (!server_is_local) {
        return std::ranges::none_of(
            reasons, [](const std::string& r) { return reason_stem(r) == "connecting-to-device"; });
    }
    if (device_answered) {
        return *device_answered;  // a device asked in this check answers for itself, printing or not
    }
    (void)ipp_printer_state;
    return std::ranges::none_of(
        reasons, [](const std::string& r) { return reason_stem(r) == "connecting-to-device"; });
}

QueueState queue_state(int ipp_printer_state, const std::vector<std::string>& reasons, bool answered) {
    if (ipp_printer_state == 5) {
        return QueueState::paused;
    }
    if (!answered || reasons_mean_unreachable(reasons)) {
        return QueueState::unreachable;
    }
    return ipp_printer_state == 4 ? QueueState::printing : QueueState::idle;
}

bool is_network_device(std::string_view device_uri) {
    const auto scheme = lower(device_uri.substr(0, device_uri.find(':')));
    return scheme == "ipp" || scheme == "ipps" || scheme == "dnssd" || scheme == "mdns" ||
           contains(device_uri, "._ipp");
}

std::optional<std::string> lpoptions_default(std::string_view text) {
    std::optional<std::string> found;
    while (!text.empty()) {
        const auto end = text.find('\n');
        auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.size() > 8 && lower(line.substr(0, 8)) == "default ") {
            auto name = line.substr(8);
            name = name.substr(0, std::min(name.find('/'), name.find_first_of(" \t\r")));
            if (!name.empty()) {
                found = std::string(name);
            }
        }
    }
    return found;
}

}  // namespace os_actions::printing::detail
