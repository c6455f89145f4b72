// Names of queues and devices: valid unique queue names, and the keys that tell two addresses, DNS-SD
// names or UUIDs of one printer apart from those of another.
#include <algorithm>

#include "parse_text.h"
#include "parsing.h"

namespace os_actions::printing::detail {

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

}  // namespace os_actions::printing::detail
