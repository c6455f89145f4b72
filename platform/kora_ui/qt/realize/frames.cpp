#include "qt/realize/frames.h"

#include <QApplication>
#include <QLabel>

#include "kora_ui/theme.h"
#include "qt/painted.h"
#include "qt/qstrings.h"
#include "qt/realize/box.h"
#include "qt/style.h"

namespace kora_ui::qt {

const QPalette& primary_palette() {
    static const QPalette palette = [] {
        QPalette p = QApplication::palette();
        const auto dark = theme::Theme::dark();
        p.setColor(QPalette::Button, colour(dark.accent));
        p.setColor(QPalette::ButtonText, colour(dark.on_accent));
        return p;
    }();
    return palette;
}

const QPalette& banner_palette() {
    static const QPalette palette = [] {
        QPalette p = QApplication::palette();
        const auto on_banner = colour(theme::Theme::dark().on_banner);
        p.setColor(QPalette::WindowText, on_banner);
        p.setColor(QPalette::PlaceholderText, on_banner);
        return p;
    }();
    return palette;
}

QColor banner_colour(BannerStyle style) {
    const auto dark = theme::Theme::dark();
    switch (style) {
        case BannerStyle::failure:
            return colour(dark.failure);
        case BannerStyle::caution:
            return colour(dark.caution);
        case BannerStyle::confirmation:
            return colour(dark.confirmation);
    }
    return colour(dark.surface);
}

QLabel* make_label(const std::string& text, float size, bool wrap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(qs(text));
    label->setFont(font_for_size(size));
    if (size < 14) {
        label->setForegroundRole(QPalette::PlaceholderText);
    }
    label->setWordWrap(wrap);
    return label;
}

QImage image_from(const Pixels& rgba, std::uint32_t width, std::uint32_t height) {
    if (!rgba || width == 0 || height == 0 || rgba->size() < static_cast<std::size_t>(width) * height * 4) {
        return {};
    }
    // Shares the immutable buffer: the image keeps a reference until Qt lets go of it.
    auto* keep = new Pixels(rgba);
    return QImage(
        rgba->data(), static_cast<int>(width), static_cast<int>(height), static_cast<qsizetype>(width) * 4,
        QImage::Format_RGBA8888, [](void* info) { delete static_cast<Pixels*>(info); }, keep);
}

QWidget* make_frame(QColor fill, QColor border, int radius, QWidget* parent, QVBoxLayout*& layout,
                    int padding) {
    auto* frame = new Frame(fill, border, radius);
    frame->setParent(parent);
    layout = new ColumnBox(frame);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(0);
    return frame;
}

QString button_text(const std::string& label) {
    return qs(label).replace('&', QStringLiteral("&&"));
}

}  // namespace kora_ui::qt
