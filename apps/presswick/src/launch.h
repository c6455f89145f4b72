// The launch descriptor and the named surfaces.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "kora_ui/launch.h"

namespace presswick::launch {

inline constexpr std::string_view kApplicationId = "org.kora.presswick";
inline constexpr std::uint32_t kLaunchFlags = 0x01010001;  // switches 1, 0, 1, 1
inline constexpr kora_ui::launch::WindowSize kWideWindow{1280, 800};
inline constexpr kora_ui::launch::WindowSize kNarrowWindow{520, 820};

// The sixteen surface names, in the order of the surface table.
inline constexpr std::array<std::string_view, 16> kSurfaceNames{
    "active",       "attention",   "empty",         "narrow",
    "queue",        "device",      "discovery",     "print",
    "print-narrow", "scan",        "scan-result",   "scan-result-narrow",
    "history",      "diagnostics", "service-error", "service-error-narrow"};

// The surface number 0..12 of a name: exact, case-sensitive matching; "narrow", unknown names and
// no name give 0.
[[nodiscard]] int parse_surface(const std::optional<std::string_view>& name);
[[nodiscard]] kora_ui::launch::WindowSize window_size_for_surface(
    const kora_ui::launch::SurfaceRequest& request);
[[nodiscard]] kora_ui::WidgetPtr new_root_for_surface(const kora_ui::launch::SurfaceRequest& request);
[[nodiscard]] kora_ui::WidgetPtr new_default_root();
// The descriptor exactly as the table fills it.
[[nodiscard]] kora_ui::launch::LaunchDescriptor make_launch_descriptor();

}  // namespace presswick::launch
