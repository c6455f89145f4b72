// Where an application's resources are found on the session bus: the interface, and the bus name and
// object path derived from the application identifier (shared by the export and its clients).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kora_actions::bus {

// The actions interface, versioned: a change that breaks callers gets a new number.
//   ListResources() -> s resources_json (a JSON array of resources)
//   Invoke(y execution_kind, s operation_id, s argument_json) -> nothing when handled; otherwise one of
//     the errors below, whose message is the outcome's own text
//   signal ControlInvoked(s control_id, x index) (index -1 when the control has none)
// The exported object also has org.freedesktop.Application (Activate, Open, ActivateAction).
inline constexpr std::string_view kInterface = "org.kora.Actions1";
inline constexpr std::string_view kErrorFailed = "org.kora.Actions1.Error.Failed";
inline constexpr std::string_view kErrorNotHandled = "org.kora.Actions1.Error.NotHandled";
inline constexpr std::string_view kApplicationInterface = "org.freedesktop.Application";

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
