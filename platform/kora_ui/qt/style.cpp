#include "qt/style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <cmath>
#include <map>

#include "kora_ui/theme.h"

namespace kora_ui::qt {

QColor colour(const theme::Colour& value) {
    return QColor(value.r, value.g, value.b);
}

void apply_dark_theme(QApplication& application) {
    application.setStyle(QStyleFactory::create("Fusion"));
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

    QFont base = QApplication::font();
    if (QFontDatabase::families().contains("DejaVu Sans")) {
        base.setFamily("DejaVu Sans");
    }
    base.setPixelSize(14);
    application.setFont(base);

    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QIcon::setThemeName("Adwaita");
    }
    QIcon::setFallbackThemeName("hicolor");
}

const QFont& font_for_size(float size) {
    static std::map<int, QFont> cache;
    const int pixels = std::max(8, static_cast<int>(std::lround(size)));
    auto it = cache.find(pixels);
    if (it == cache.end()) {
        QFont font = QApplication::font();
        font.setPixelSize(pixels);
        if (pixels >= 24) {
            font.setWeight(QFont::Bold);
        } else if (pixels >= 16) {
            font.setWeight(QFont::DemiBold);
        }
        it = cache.emplace(pixels, font).first;
    }
    return it->second;
}

namespace {
struct IconSource {
    const char* theme_names[3];
    QStyle::StandardPixmap fallback;
};

IconSource source_for(int code) {
    switch (code) {
        case 76:
            return {{"view-refresh", "reload", nullptr}, QStyle::SP_BrowserReload};
        case 5:
            return {{"printer", "document-print", nullptr}, QStyle::SP_ComputerIcon};
        case 18:
            return {{"list-add", "document-new", nullptr}, QStyle::SP_FileDialogNewFolder};
        case 19:
            return {{"edit-find", "system-search", nullptr}, QStyle::SP_FileDialogContentsView};
        case 28:
            return {{"scanner", "document-import", nullptr}, QStyle::SP_DriveCDIcon};
        case 38:
            return {{"go-previous", "go-back", nullptr}, QStyle::SP_ArrowBack};
        case 39:
            return {{"document-open", "folder-open", nullptr}, QStyle::SP_DialogOpenButton};
        case 60:
            return {{"document-open-recent", "appointment-soon", nullptr}, QStyle::SP_FileDialogDetailedView};
        case 70:
            return {{"utilities-system-monitor", "dialog-information", "help-browser"},
                    QStyle::SP_MessageBoxInformation};
        case 23:
            return {{"image-missing", "image-x-generic", nullptr}, QStyle::SP_FileIcon};
        default:
            return {{nullptr, nullptr, nullptr}, QStyle::SP_FileIcon};
    }
}
}  // namespace

const QIcon& icon_for_code(int code) {
    static std::map<int, QIcon> cache;
    auto it = cache.find(code);
    if (it == cache.end()) {
        const auto source = source_for(code);
        QIcon icon;
        for (const char* name : source.theme_names) {
            if (name && QIcon::hasThemeIcon(name)) {
                icon = QIcon::fromTheme(name);
                break;
            }
        }
        if (icon.isNull()) {
            icon = QApplication::style()->standardIcon(source.fallback);
        }
        it = cache.emplace(code, icon).first;
    }
    return it->second;
}

}  // namespace kora_ui::qt
