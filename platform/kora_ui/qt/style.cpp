#include "qt/style.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <cmath>
#include <map>

#include "kora_ui/theme.h"
#include "qt/metrics.h"

namespace kora_ui::qt {

namespace {
constexpr float kBodySize = 14;
int g_body_pixels = 14;

// The desktop's base font size in pixels; platforms without a desktop (offscreen, minimal) give
// Qt's generic default, so they keep the toolkit's own 14.
int desktop_body_pixels(const QFont& font) {
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") {
        return static_cast<int>(kBodySize);
    }
    if (font.pixelSize() > 0) {
        return font.pixelSize();
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return std::max(9, static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0)));
}
}  // namespace

QColor colour(const theme::Colour& value) {
    return QColor(value.r, value.g, value.b);
}

void apply_dark_theme(QApplication& application) {
    application.setStyle(make_host_style());
    const auto dark = theme::Theme::dark();
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, colour(dark.window));
        palette.setColor(group, QPalette::WindowText, colour(dark.text));
        palette.setColor(group, QPalette::Base, colour(dark.surface_raised));
        palette.setColor(group, QPalette::AlternateBase, colour(dark.surface));
        palette.setColor(group, QPalette::Text, colour(dark.text));
        palette.setColor(group, QPalette::Button, colour(dark.surface_raised));
        palette.setColor(group, QPalette::ButtonText, colour(dark.text));
        palette.setColor(group, QPalette::BrightText, colour(dark.on_banner));
        palette.setColor(group, QPalette::Highlight, colour(dark.accent));
        palette.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
        palette.setColor(group, QPalette::ToolTipBase, colour(dark.surface_raised));
        palette.setColor(group, QPalette::ToolTipText, colour(dark.text));
        // Captions use the placeholder role, so muting a label costs no palette of its own.
        palette.setColor(group, QPalette::PlaceholderText, colour(dark.text_muted));
        palette.setColor(group, QPalette::Light, colour(dark.border).lighter(130));
        palette.setColor(group, QPalette::Midlight, colour(dark.border));
        palette.setColor(group, QPalette::Mid, colour(dark.border));
        palette.setColor(group, QPalette::Dark, colour(dark.window).darker(130));
        palette.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
        palette.setColor(group, QPalette::Link, colour(dark.accent));
    }
    const QColor disabled = colour(dark.text_muted).darker(140);
    palette.setColor(QPalette::Disabled, QPalette::Window, colour(dark.window));
    palette.setColor(QPalette::Disabled, QPalette::Base, colour(dark.surface));
    palette.setColor(QPalette::Disabled, QPalette::Button, colour(dark.surface));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    application.setPalette(palette);

    // The desktop's own UI font stays; its size is the body size, and the other sizes follow it.
    QFont base = QApplication::font();
    g_body_pixels = desktop_body_pixels(base);
    base.setPixelSize(g_body_pixels);
    application.setFont(base);

    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QIcon::setThemeName("Adwaita");
    }
    QIcon::setFallbackThemeName("hicolor");
}

const QFont& font_for_size(float size) {
    static std::map<float, QFont> cache;
    const int pixels = std::max(8, static_cast<int>(std::lround(size * g_body_pixels / kBodySize)));
    auto it = cache.find(size);
    if (it == cache.end()) {
        QFont font = QApplication::font();
        font.setPixelSize(pixels);
        if (size >= 24) {
            font.setWeight(QFont::Bold);
        } else if (size >= 16) {
            font.setWeight(QFont::DemiBold);
        }
        it = cache.emplace(size, font).first;
    }
    return it->second;
}

}  // namespace kora_ui::qt
