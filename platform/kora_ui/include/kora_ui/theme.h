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
    Colour on_accent;  // text and icons on primary buttons

    [[nodiscard]] static Theme dark();
};

// The contrast ratio of two colours as the web accessibility guidelines define it (1 to 21): body
// text wants at least 4.5, large titles at least 3.
[[nodiscard]] double contrast_ratio(Colour a, Colour b);

}  // namespace kora_ui::theme
