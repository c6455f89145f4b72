// The toolkit's palette.
#pragma once

#include <cstdint>

namespace kora_ui::theme {

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour&) const = default;
};

struct Theme {
    Colour window;          // behind everything
    Colour surface;         // cards
    Colour surface_raised;  // buttons, inputs
    Colour border;
    Colour text;
    Colour text_muted;  // captions
    Colour accent;      // primary buttons, progress
    Colour failure;
    Colour caution;
    Colour confirmation;
    Colour on_banner;  // text on banners

    [[nodiscard]] static Theme dark();
};

}  // namespace kora_ui::theme
