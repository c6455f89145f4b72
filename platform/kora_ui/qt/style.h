// The dark look of the host: Fusion with the palette of Theme::dark and the desktop's font, cached per size.
// No global stylesheet: polishing one costs about 20 ms per rebuild of a large tree.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>

class QApplication;

namespace kora_ui::theme {
struct Colour;
}

namespace kora_ui::qt {

[[nodiscard]] QColor colour(const theme::Colour& value);
// The host style, the dark palette, the desktop font and an icon theme; once per application.
void apply_dark_theme(QApplication& application);
// The desktop UI font for a text size of the toolkit: the body size 14 is the desktop's base size,
// and every other size scales with it (16 and up are headings).
[[nodiscard]] const QFont& font_for_size(float size);

}  // namespace kora_ui::qt
