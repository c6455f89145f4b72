// The host's control metrics: Fusion with room to aim at. Push buttons, inputs and dropdowns are at
// least 32 px tall and keep 12 px of padding beside their text; buttons are drawn in their exact colours.
#pragma once

class QStyle;

namespace kora_ui::qt {

inline constexpr int kControlHeight = 32;
inline constexpr int kButtonPadding = 12;
// The segments of a toggle group sit edge to edge: a little less, so four languages fit a narrow window.
inline constexpr int kSegmentPadding = 8;

// A new Fusion-based style with these metrics (the application takes ownership).
[[nodiscard]] QStyle* make_host_style();

}  // namespace kora_ui::qt
