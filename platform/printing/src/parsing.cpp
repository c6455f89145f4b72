#include "parsing.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace os_actions::printing {

void Changes::merge(const Changes& later) {
    everything = everything || later.everything;
    auto add = [](std::vector<std::string>& to, const std::vector<std::string>& from) {
        for (const auto& name : from) {
            if (std::ranges::find(to, name) == to.end()) {
                to.push_back(name);
            }
        }
    };
    add(printers, later.printers);
    add(jobs, later.jobs);
}

std::optional<std::uint32_t> PrintJob::document_pages() const {
    if (!pages_total) {
        return std::nullopt;
    }
    // A server counts every copy; a total that is not a whole number of copies is the document's own.
    if (copies > 1 && *pages_total % copies == 0) {
        return *pages_total / copies;
    }
    return pages_total;
}

}  // namespace os_actions::printing

namespace os_actions::printing::detail {

namespace {
std::string lower(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool contains(std::string_view haystack, std::string_view needle) {
    return lower(haystack).find(needle) != std::string::npos;
}

// A reason keyword without its -report / -warning / -error suffix.
std::string_view reason_stem(std::string_view reason) {
    for (std::string_view suffix : {"-report", "-warning", "-error"}) {
        if (reason.size() > suffix.size() && reason.ends_with(suffix)) {
            return reason.substr(0, reason.size() - suffix.size());
        }
    }
    return reason;
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

namespace {

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

std::optional<std::uint8_t> job_state_from_ipp(int ipp_job_state) {
    switch (ipp_job_state) {
        case 3:
            return 1;  // pending
        case 4:
            return 3;  // held
        case 5:
            return 2;  // processing
        case 6:
            return 3;  // stopped
        case 7:
            return 4;  // canceled
        case 8:
            return 5;  // aborted
        case 9:
            return 6;  // completed
        default:
            return std::nullopt;
    }
}

std::optional<std::uint8_t> job_state(int ipp_job_state, const std::vector<std::string>& reasons) {
    auto state = job_state_from_ipp(ipp_job_state);
    if (state != 4) {
        return state;
    }
    // Reasons that say a person did it; anything else that canceled the job stopped it from printing.
    const bool by_person = std::ranges::any_of(reasons, [](const std::string& r) {
        return r == "job-canceled-by-user" || r == "job-canceled-by-operator";
    });
    const bool stopped = std::ranges::any_of(reasons, [](const std::string& r) {
        return r == "job-canceled-at-device" || r == "aborted-by-system" || r == "job-aborted-by-system" ||
               r.starts_with("document-") || r == "job-data-insufficient" ||
               r == "unsupported-document-format" || r == "printer-stopped";
    });
    return stopped && !by_person ? std::optional<std::uint8_t>(5) : state;
}

PageCounts page_counts(const JobCounters& counters, bool printed) {
    auto count = [](std::optional<int> value) -> std::optional<std::uint32_t> {
        if (!value || *value < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(*value);
    };
    PageCounts out;
    const bool impressions_known = counters.impressions || counters.impressions_completed;
    if (impressions_known) {
        out.done = count(counters.impressions_completed);
        out.total = count(counters.impressions);
    } else {
        out.done = count(counters.media_sheets_completed);
        out.total = count(counters.media_sheets);
    }
    if (out.total == 0u) {
        out.total.reset();  // "0" is how a server says it has not counted yet
    }
    if (printed && !out.total && out.done > 0u) {
        out.total = out.done;
    }
    return out;
}

PageCounts shown_counts(PageCounts counts, std::optional<std::uint8_t> state) {
    const auto number = state.value_or(0);
    if (number == 1 && counts.done) {
        counts.done = 0;
    } else if (number <= 3 && counts.total && counts.done && *counts.done >= *counts.total) {
        counts.done = *counts.total - 1;
    }
    return counts;
}

std::string time_label(std::time_t when, std::time_t now) {
    std::tm then_tm{};
    std::tm now_tm{};
    localtime_r(&when, &then_tm);
    localtime_r(&now, &now_tm);
    // Calendar-day difference, counted on local dates (noon avoids daylight-saving edges).
    auto day_number = [](std::tm tm) {
        tm.tm_hour = 12;
        tm.tm_min = 0;
        tm.tm_sec = 0;
        tm.tm_isdst = -1;
        return static_cast<long long>(std::mktime(&tm) / 86400);
    };
    const auto days = day_number(now_tm) - day_number(then_tm);
    if (days == 0) {
        return "today";
    }
    if (days == 1) {
        return "yesterday";
    }
    char buffer[32];
    const char* format = then_tm.tm_year == now_tm.tm_year ? "%d %b" : "%d %b %Y";
    const auto length = std::strftime(buffer, sizeof buffer, format, &then_tm);
    std::string label(buffer, length);
    if (label.starts_with('0')) {
        label.erase(0, 1);
    }
    return label;
}

std::optional<JobRef> parse_job_id(std::string_view id) {
    const auto dash = id.rfind('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 >= id.size() || id.size() - dash > 10) {
        return std::nullopt;
    }
    int number = 0;
    for (const char c : id.substr(dash + 1)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    if (number <= 0) {
        return std::nullopt;
    }
    return JobRef{.queue = std::string(id.substr(0, dash)), .number = number};
}

std::string queue_from_printer_uri(std::string_view uri) {
    const auto slash = uri.rfind('/');
    return std::string(slash == std::string_view::npos ? uri : uri.substr(slash + 1));
}

std::string queue_name_from(std::string_view display_name) {
    std::string out;
    for (const unsigned char c : display_name) {
        const bool valid = c > ' ' && c < 127 && c != '/' && c != '#' && c != '\\' && c != '?' && c != '\'' &&
                           c != '"' && c != '@';
        if (valid) {
            out += static_cast<char>(c);
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
        if (out.size() >= 127) {
            break;
        }
    }
    while (!out.empty() && out.back() == '_') {
        out.pop_back();
    }
    return out.empty() ? std::string("Printer") : out;
}

std::string unique_queue_name(const std::string& base, const std::vector<std::string>& taken) {
    auto is_taken = [&](const std::string& name) {
        return std::ranges::any_of(taken, [&](const std::string& t) { return lower(t) == lower(name); });
    };
    if (!is_taken(base)) {
        return base;
    }
    for (int n = 2;; ++n) {
        const auto suffix = "_" + std::to_string(n);
        const auto name = base.substr(0, 127 - suffix.size()) + suffix;
        if (!is_taken(name)) {
            return name;
        }
    }
}

std::string device_key(std::string_view device_uri) {
    auto key = std::string(device_uri);
    const auto colon = key.find("://");
    if (colon == std::string::npos) {
        return key;
    }
    auto scheme = lower(key.substr(0, colon));
    if (scheme == "ipps" || scheme == "dnssd" || scheme == "mdns") {
        scheme = "ipp";
    }
    auto rest = key.substr(colon + 3);
    rest = rest.substr(0, rest.find('?'));
    const auto slash = rest.find('/');
    auto host = lower(rest.substr(0, slash));
    auto path = slash == std::string::npos ? std::string() : rest.substr(slash);
    while (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    if (const auto secure = host.find("._ipps._tcp"); secure != std::string::npos) {
        host.erase(secure + 5, 1);  // the same printer's plain and secure DNS-SD services
    }
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return scheme + "://" + host + path;
}

std::string dns_sd_instance(std::string_view device_uri) {
    const auto start = device_uri.find("://");
    if (start == std::string_view::npos) {
        return {};
    }
    auto host = device_uri.substr(start + 3);
    host = host.substr(0, host.find('/'));
    const auto service = host.find("._ipp");
    if (service == std::string_view::npos) {
        return {};
    }
    std::string name;
    for (std::size_t i = 0; i < service; ++i) {
        const auto hex = [&](std::size_t at) {
            return std::isxdigit(static_cast<unsigned char>(host[at]));
        };
        if (host[i] == '%' && i + 2 < service && hex(i + 1) && hex(i + 2)) {
            name += static_cast<char>(std::stoi(std::string(host.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            name += host[i];
        }
    }
    return service_key(name);
}

std::string service_key(std::string_view name) {
    return lower(name);
}

std::string uuid_key(std::string_view uuid) {
    auto key = lower(uuid);
    if (key.starts_with("urn:uuid:")) {
        key.erase(0, 9);
    }
    return key;
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

std::optional<std::string> choose_mode(const std::vector<std::string>& modes, std::uint8_t colour_mode) {
    // Exact usual names first, then words found inside the backend's names.
    static const std::vector<std::vector<std::string_view>> exact = {
        {"color", "colour", "rgb", "24bit color"},
        {"gray", "grey", "grayscale", "greyscale", "8bit gray"},
        {"lineart", "line art", "binary", "text", "black & white", "black and white", "bw", "halftone"}};
    static const std::vector<std::vector<std::string_view>> words = {
        {"color", "colour", "rgb"}, {"gray", "grey"}, {"lineart", "line art", "binary", "text", "black"}};
    const std::size_t which = colour_mode > 2 ? 0 : colour_mode;
    for (const auto name : exact[which]) {
        for (const auto& mode : modes) {
            if (lower(mode) == name) {
                return mode;
            }
        }
    }
    // Grey and colour mean true tones: "Gray[Error Diffusion]" or "Color Lineart" only when nothing else
    // has the word.
    const auto screened = [](const std::string& mode) {
        return contains(mode, "diffusion") || contains(mode, "dither") || contains(mode, "halftone") ||
               contains(mode, "lineart");
    };
    for (const bool allow_screened : {which == 2, true}) {
        for (const auto word : words[which]) {
            for (const auto& mode : modes) {
                if (contains(mode, word) && (allow_screened || !screened(mode))) {
                    return mode;
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> choose_source(const std::vector<std::string>& sources, std::uint8_t source) {
    auto find = [&](auto&& accept) -> std::optional<std::string> {
        for (const auto& s : sources) {
            if (accept(s)) {
                return s;
            }
        }
        return std::nullopt;
    };
    const auto is_duplex = [](const std::string& s) {
        return contains(s, "duplex") || contains(s, "two-sided") || contains(s, "double");
    };
    const auto is_feeder = [&](const std::string& s) {
        return !is_duplex(s) && (contains(s, "adf") || contains(s, "feeder") || contains(s, "document feed"));
    };
    switch (source) {
        case 0:
            return find([](const std::string& s) { return contains(s, "flatbed") || contains(s, "platen"); });
        case 1:
            return find(is_feeder);
        case 2:
            return find(is_duplex);
        default:
            return std::nullopt;
    }
}

double nearest_in_list(const std::vector<double>& allowed, double wanted) {
    if (allowed.empty()) {
        return wanted;
    }
    return *std::ranges::min_element(allowed, {}, [&](double v) { return std::fabs(v - wanted); });
}

double nearest_in_range(double min, double max, double quant, double wanted) {
    if (max < min) {
        std::swap(min, max);
    }
    double value = std::clamp(wanted, min, max);
    if (quant > 0) {
        value = min + std::round((value - min) / quant) * quant;
        if (value > max) {
            value -= quant;
        }
    }
    return value;
}

Changes changes_from(const std::vector<NotifyEvent>& events, int expected_sequence) {
    Changes out;
    auto add = [](std::vector<std::string>& to, std::string name) {
        if (std::ranges::find(to, name) == to.end()) {
            to.push_back(std::move(name));
        }
    };
    if (!events.empty() && events.front().sequence > expected_sequence) {
        out.everything = true;
    }
    for (const auto& event : events) {
        if (event.kind.starts_with("job-")) {
            if (event.printer.empty() || event.job <= 0) {
                out.everything = true;
            } else {
                add(out.jobs, event.printer + "-" + std::to_string(event.job));
            }
        } else if (event.kind.starts_with("printer-") && !event.printer.empty()) {
            add(out.printers, event.printer);
        } else {
            out.everything = true;  // the server's own events, or a printer event without its name
        }
    }
    return out;
}

}  // namespace os_actions::printing::detail
