#include "kora_ui/theme.h"

#include <algorithm>
#include <cmath>

namespace kora_ui::theme {

Theme Theme::dark() {
    return Theme{
        .window = {24, 26, 30},
        .surface = {34, 37, 43},
        .surface_raised = {48, 52, 60},
        .border = {62, 67, 77},
        .text = {232, 234, 237},
        .text_muted = {160, 166, 176},
        // Deep enough for white text on primary buttons, light enough for progress on the window.
        .accent = {53, 110, 200},
        .failure = {150, 48, 52},
        .caution = {140, 104, 28},
        .confirmation = {38, 112, 72},
        .on_banner = {250, 250, 250},
        .on_accent = {255, 255, 255},
    };
}

namespace {
double relative_luminance(Colour colour) {
    auto linear = [](std::uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
}
}  // namespace

double contrast_ratio(Colour a, Colour b) {
    const double la = relative_luminance(a);
    const double lb = relative_luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace kora_ui::theme
