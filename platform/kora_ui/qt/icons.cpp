#include "qt/icons.h"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <map>

#include "kora_ui/theme.h"
#include "qt/style.h"

// Outside any namespace, as Q_INIT_RESOURCE needs.
static void load_built_in_icons() {
    Q_INIT_RESOURCE(kora_icons);
}

namespace kora_ui::qt {

namespace {

// The freedesktop name of the code's glyph (the table's names are literals, so NUL-terminated); the
// built-in set holds an SVG of the same name.
const char* glyph_name(Icon code) {
    const auto* entry = icon_entry(code);
    return entry ? entry->glyph.data() : nullptr;
}

QString built_in_path(const char* name) {
    // A static library's resources are linked in only when something names them.
    static const bool loaded = [] {
        load_built_in_icons();
        return true;
    }();
    (void)loaded;
    return QStringLiteral(":/kora/icons/%1.svg").arg(QLatin1String(name));
}

// The desktop theme's glyph, or a null pixmap when the theme lacks it or cannot draw it.
QPixmap theme_glyph(const char* name, QSize size) {
    if (!QIcon::hasThemeIcon(QLatin1String(name))) {
        return {};
    }
    QPixmap pixmap = QIcon::fromTheme(QLatin1String(name)).pixmap(size);
    if (pixmap.isNull() || pixmap.size() != size) {
        return {};
    }
    return pixmap;
}

QImage built_in_glyph(const char* name, QSize size) {
    QSvgRenderer renderer(built_in_path(name));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return image;
}

// Draws a symbolic glyph at exactly the asked pixel size and fills its shape with one colour, so a
// 16-unit design stays sharp at 24, 34 or 68 device pixels and matches the text beside it.
class SymbolicEngine final : public QIconEngine {
  public:
    SymbolicEngine(Icon code, QColor tint) : m_code(code), m_tint(tint) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pixmap = this->pixmap(rect.size() * ratio, mode, state);
        pixmap.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), pixmap);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const char* name = glyph_name(m_code);
        if (!name || size.isEmpty()) {
            return {};
        }
        const QColor tint = mode == QIcon::Disabled
                                ? QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText)
                                : m_tint;
        const QString key = QStringLiteral("kora-icon-%1-%2x%3-%4-%5")
                                .arg(static_cast<int>(m_code))
                                .arg(size.width())
                                .arg(size.height())
                                .arg(tint.rgba(), 0, 16)
                                .arg(QIcon::themeName());
        QPixmap cached;
        if (QPixmapCache::find(key, &cached)) {
            return cached;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            if (const QPixmap themed = theme_glyph(name, size); !themed.isNull()) {
                painter.drawPixmap(0, 0, themed);
            } else {
                painter.drawImage(0, 0, built_in_glyph(name, size));
            }
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), tint);
        }
        cached = QPixmap::fromImage(std::move(image));
        QPixmapCache::insert(key, cached);
        return cached;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SymbolicEngine(m_code, m_tint); }
    QString key() const override { return QStringLiteral("kora-symbolic"); }
    bool isNull() override { return glyph_name(m_code) == nullptr; }

  private:
    Icon m_code;
    QColor m_tint;
};

}  // namespace

IconOrigin icon_origin(Icon code) {
    const char* name = glyph_name(code);
    if (!name) {
        return IconOrigin::none;
    }
    if (!theme_glyph(name, QSize(16, 16)).isNull()) {
        return IconOrigin::desktop_theme;
    }
    return QFile::exists(built_in_path(name)) ? IconOrigin::built_in : IconOrigin::none;
}

QIcon symbolic_icon(Icon code, QColor tint) {
    if (!glyph_name(code)) {
        return {};
    }
    return QIcon(new SymbolicEngine(code, tint));
}

const QIcon& icon_for_code(Icon code) {
    static std::map<Icon, QIcon> cache;
    auto it = cache.find(code);
    if (it == cache.end()) {
        it = cache.emplace(code, symbolic_icon(code, colour(theme::Theme::dark().text))).first;
    }
    return it->second;
}

QIcon application_icon(const std::string& application_id) {
    const QString id = QString::fromStdString(application_id);
    const QString built_in = QStringLiteral(":/kora/app-icons/%1.svg").arg(id);
    if (QFile::exists(built_in)) {
        // QIcon draws an SVG file through the SVG icon engine, so every size is rendered, not scaled.
        return QIcon(built_in);
    }
    return QIcon::fromTheme(id);
}

IconTile::IconTile(QIcon icon, int box, float scale, QWidget* parent)
    : QWidget(parent),
      m_icon(std::move(icon)),
      m_glyph(std::clamp(static_cast<int>(std::lround(box / std::max(1.0F, scale))), 8, box)) {
    setFixedSize(box, box);
}

void IconTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour(theme::Theme::dark().surface_raised));
    const qreal radius = width() / 4.0;
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
    const QRect glyph((width() - m_glyph) / 2, (height() - m_glyph) / 2, m_glyph, m_glyph);
    m_icon.paint(&painter, glyph);
}

}  // namespace kora_ui::qt
