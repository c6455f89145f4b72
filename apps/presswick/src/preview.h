// The print dialog's preview: preparing, ready with an RGBA image, or unavailable.
#pragma once

#include <cstdint>
#include <optional>

#include "kora_ui/widgets.h"

namespace presswick {

// What the preview worker sends: the image, or nothing when none could be made.
struct PreviewImage {
    kora_ui::Pixels rgba;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pages = 0;  // the document's page count, 0 when unknown
    std::uint32_t page = 1;   // the page shown, from 1
};
using PreviewResult = std::optional<PreviewImage>;

struct PrintPreview {
    enum class Kind : std::uint8_t { preparing, ready, unavailable };
    Kind kind = Kind::unavailable;
    PreviewImage image;  // with ready

    [[nodiscard]] static PrintPreview preparing() { return {Kind::preparing, {}}; }
    [[nodiscard]] static PrintPreview unavailable() { return {Kind::unavailable, {}}; }
    [[nodiscard]] static PrintPreview ready(PreviewImage image) { return {Kind::ready, std::move(image)}; }
};

}  // namespace presswick
