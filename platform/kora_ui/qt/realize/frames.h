// The pieces every family draws with: palettes, frames, labels and images from pixel buffers.
#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <string>

#include "kora_ui/widgets.h"

class QLabel;
class QVBoxLayout;
class QWidget;

namespace kora_ui::qt {

[[nodiscard]] const QPalette& primary_palette();
[[nodiscard]] const QPalette& banner_palette();
[[nodiscard]] QColor banner_colour(BannerStyle style);
[[nodiscard]] QLabel* make_label(const std::string& text, float size, bool wrap, QWidget* parent);
// A rounded frame with a column inside (`layout`), `padding` on every side.
[[nodiscard]] QWidget* make_frame(QColor fill, QColor border, int radius, QWidget* parent,
                                  QVBoxLayout*& layout, int padding);
// Shares the immutable buffer; empty when it is too small for the size.
[[nodiscard]] QImage image_from(const Pixels& rgba, std::uint32_t width, std::uint32_t height);

}  // namespace kora_ui::qt
