// The dark look of the host: Fusion with the palette of Theme::dark, cached fonts and icons.
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
// Fusion style, the dark palette, the default font and an icon theme; once per application.
void apply_dark_theme(QApplication& application);
// The font for a text size of the toolkit (pixel sizes; 16 and up are headings).
[[nodiscard]] const QFont& font_for_size(float size);
// Icon codes of IconWidget and Button::with_icon: the freedesktop icon, or a Qt standard icon.
[[nodiscard]] const QIcon& icon_for_code(int code);

}  // namespace kora_ui::qt
