// Where an application's resources are found on the session bus: the interface, and the bus name and
// object path derived from the application identifier (shared by the export and its clients).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kora_actions::bus {

// Methods ListResources() -> s (JSON array of resources) and Invoke(y, s, s) -> (s outcome, s message);
// signal ControlInvoked(s control_id, x index or -1).
inline constexpr std::string_view kInterface = "org.kora.Actions";
inline constexpr std::string_view kOutcomeNotHandled = "not-handled";
inline constexpr std::string_view kOutcomeHandled = "handled";
inline constexpr std::string_view kOutcomeFailed = "failed";

namespace detail {
// The identifier's dot-separated elements, each reduced to what both bus names and paths allow.
inline std::vector<std::string> elements(std::string_view application_id) {
    std::vector<std::string> out;
    std::string current;
    auto flush = [&] {
        if (!current.empty()) {
            if (current.front() >= '0' && current.front() <= '9') {
                current.insert(current.begin(), '_');
            }
            out.push_back(std::move(current));
        }
        current.clear();
    };
    for (const char c : application_id) {
        if (c == '.') {
            flush();
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
            current.push_back(c);
        } else {
            current.push_back('_');
        }
    }
    flush();
    // A well-known name needs two elements at least.
    if (out.empty()) {
        out = {"org", "kora", "application"};
    } else if (out.size() == 1) {
        out.insert(out.begin(), {"org", "kora"});
    }
    return out;
}
}  // namespace detail

// "org.kora.presswick" -> "org.kora.presswick"; characters a bus name cannot hold become "_".
[[nodiscard]] inline std::string bus_name_for(std::string_view application_id) {
    std::string name;
    for (const auto& element : detail::elements(application_id)) {
        name += name.empty() ? element : "." + element;
    }
    return name;
}

// "org.kora.presswick" -> "/org/kora/presswick".
[[nodiscard]] inline std::string object_path_for(std::string_view application_id) {
    std::string path;
    for (const auto& element : detail::elements(application_id)) {
        path += "/" + element;
    }
    return path;
}

}  // namespace kora_actions::bus
