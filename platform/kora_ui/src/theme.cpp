#include "kora_ui/theme.h"

namespace kora_ui::theme {

Theme Theme::dark() {
    return Theme{
        .window = {24, 26, 30},
        .surface = {34, 37, 43},
        .surface_raised = {48, 52, 60},
        .border = {62, 67, 77},
        .text = {232, 234, 237},
        .text_muted = {160, 166, 176},
        .accent = {96, 152, 240},
        .failure = {150, 48, 52},
        .caution = {140, 104, 28},
        .confirmation = {38, 112, 72},
        .on_banner = {250, 250, 250},
    };
}

}  // namespace kora_ui::theme
