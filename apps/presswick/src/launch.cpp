#include "launch.h"

#include <algorithm>
#include <string>

#include "sample.h"
#include "surface/presswick.h"

namespace presswick::launch {

namespace {
struct SurfaceNumber {
    std::string_view name;
    int number;
};
// The table's rows without "narrow", which the parser does not recognise.
constexpr std::array<SurfaceNumber, 15> kParsed{{
    {"active", 1},
    {"attention", 2},
    {"empty", 3},
    {"queue", 4},
    {"device", 5},
    {"discovery", 6},
    {"print", 7},
    {"print-narrow", 7},
    {"scan", 8},
    {"scan-result", 9},
    {"scan-result-narrow", 9},
    {"history", 10},
    {"diagnostics", 11},
    {"service-error", 12},
    {"service-error-narrow", 12},
}};
constexpr std::array<std::string_view, 4> kNarrowNames{"narrow", "print-narrow", "scan-result-narrow",
                                                       "service-error-narrow"};
}  // namespace

int parse_surface(const std::optional<std::string_view>& name) {
    if (!name) {
        return 0;
    }
    for (const auto& row : kParsed) {
        if (row.name == *name) {
            return row.number;
        }
    }
    return 0;
}

kora_ui::launch::WindowSize window_size_for_surface(const kora_ui::launch::SurfaceRequest& request) {
    if (request.surface && std::find(kNarrowNames.begin(), kNarrowNames.end(),
                                     std::string_view(*request.surface)) != kNarrowNames.end()) {
        return kNarrowWindow;
    }
    return kWideWindow;
}

kora_ui::WidgetPtr new_root_for_surface(const kora_ui::launch::SurfaceRequest& request) {
    std::optional<std::string_view> name;
    if (request.surface) {
        name = *request.surface;
    }
    return sample::new_surface_state(parse_surface(name));
}

kora_ui::WidgetPtr new_default_root() {
    return Presswick::new_default_root();
}

kora_ui::launch::LaunchDescriptor make_launch_descriptor() {
    // Every field the toolkit defines, in its order; what Presswick does not use is said empty.
    return {
        .application_id = std::string(kApplicationId),             // 1
        .document_types = {},                                      // 2
        .url_schemes = {},                                         // 3
        .keywords = {},                                            // 4
        .categories = {},                                          // 5
        .surfaces = {kSurfaceNames.begin(), kSurfaceNames.end()},  // 6
        .before_window = std::nullopt,                             // 7
        .after_window = std::nullopt,                              // 7
        .default_root = new_default_root,                          // 8
        .on_activate = std::nullopt,                               // 9
        .surface_root = new_root_for_surface,                      // 10
        .on_open_files = std::nullopt,                             // 11
        .on_open_url = std::nullopt,                               // 11
        .on_close = std::nullopt,                                  // 11
        .window_size = window_size_for_surface,                    // 12
        .instance_limit = [] { return std::uint32_t{1}; },         // 13
        .persist_open = kora_ui::persist::open,                    // 14
        .flags = kLaunchFlags,                                     // 15
    };
}

}  // namespace presswick::launch
