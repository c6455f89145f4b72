#include "qt/painted.h"

#include "qt/accessible.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <optional>

#include "kora_ui/theme.h"
#include "qt/qstrings.h"
#include "qt/style.h"

namespace kora_ui::qt {

Frame::Frame(QColor fill, QColor border, int radius) : m_fill(fill), m_border(border), m_radius(radius) {}

void Frame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(m_border.isValid() ? QPen(m_border, 1) : Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
}

DividerLine::DividerLine() {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DividerLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour(theme::Theme::dark().border));
}

ImageView::ImageView(QImage image) : m_image(std::move(image)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize ImageView::sizeHint() const {
    return m_image.isNull() ? QSize(1, 1) : m_image.size();
}

QSize ImageView::minimumSizeHint() const {
    const QSize own = sizeHint();
    const int width = std::min(own.width(), 48);
    return {width, heightForWidth(width)};
}

int ImageView::heightForWidth(int width) const {
    if (m_image.isNull() || m_image.width() == 0) {
        return 1;
    }
    const int shown = std::min(width, m_image.width());
    return static_cast<int>(std::lround(static_cast<double>(shown) * m_image.height() / m_image.width()));
}

namespace {
QRectF fitted(const QSize& image, const QRectF& space, bool grow) {
    if (image.isEmpty() || space.isEmpty()) {
        return {};
    }
    double scale = std::min(space.width() / image.width(), space.height() / image.height());
    if (!grow) {
        scale = std::min(scale, 1.0);
    }
    const QSizeF size(image.width() * scale, image.height() * scale);
    return {space.x() + (space.width() - size.width()) / 2, space.y() + (space.height() - size.height()) / 2,
            size.width(), size.height()};
}

// Images are drawn at the screen's device pixels: shrunk smoothly, but enlarged (a 2x screen showing
// an image at its own size) pixel for pixel, which stays sharp where filtering would blur.
void set_image_filter(QPainter& painter, const QSize& image, const QRectF& target) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.width() * ratio < image.width() - 0.5);
}
}  // namespace

void ImageView::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRectF target = fitted(m_image.size(), QRectF(rect()), false);
    set_image_filter(painter, m_image.size(), target);
    painter.drawImage(QRectF(target.x(), 0, target.width(), target.height()), m_image);
}

PageGlyph::PageGlyph(unsigned page, unsigned total)
    : m_caption(tq("Page {} of {}", {QString::number(page), QString::number(total)})) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PageGlyph::paintEvent(QPaintEvent*) {
    const auto dark = theme::Theme::dark();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF page((width() - 52) / 2.0, 4, 52, 68);
    const double fold = 12;
    QPainterPath outline;
    outline.moveTo(page.topLeft());
    outline.lineTo(page.right() - fold, page.top());
    outline.lineTo(page.right(), page.top() + fold);
    outline.lineTo(page.bottomRight());
    outline.lineTo(page.bottomLeft());
    outline.closeSubpath();
    painter.setPen(QPen(colour(dark.border).lighter(150), 1.2));
    painter.setBrush(colour(dark.text).darker(115));
    painter.drawPath(outline);
    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    painter.setBrush(colour(dark.text_muted));
    painter.drawPath(corner);
    painter.setPen(QPen(colour(dark.text_muted).darker(130), 2));
    for (int line = 0; line < 5; ++line) {
        const double y = page.top() + 22 + line * 8;
        const double right = page.right() - (line == 4 ? 22 : 8);
        painter.drawLine(QPointF(page.left() + 8, y), QPointF(right, y));
    }
    QFont small = font_for_size(12);
    painter.setFont(small);
    painter.setPen(colour(dark.text_muted));
    painter.drawText(QRectF(0, page.bottom() + 6, width(), 20), Qt::AlignHCenter | Qt::AlignTop, m_caption);
}

CropView::CropView(QImage image, std::function<CropSelection()> read, std::function<void(CropSelection)> drag)
    : m_image(std::move(image)), m_read(std::move(read)), m_drag(std::move(drag)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setMouseTracking(false);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void CropView::refresh() {
    const CropSelection now = m_read();
    if (now != m_drawn) {
        update();
    }
    // What a screen reader is told the crop area's value is: its rectangle, in percent of the page.
    auto percent = [](double fraction) {
        return static_cast<int>(std::lround(fraction * 100));
    };
    const QString value = tq("Left {} %, top {} %, right {} %, bottom {} %",
                             {QString::number(percent(now.left)), QString::number(percent(now.top)),
                              QString::number(percent(now.right)), QString::number(percent(now.bottom))});
    if (property(accessible::kValueProperty).toString() != value) {
        setProperty(accessible::kValueProperty, value);
        accessible::announce_value(this);
    }
}

void CropView::focusInEvent(QFocusEvent* event) {
    m_at_focus = m_read();
    QWidget::focusInEvent(event);
}

void CropView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_read() != m_at_focus) {
        m_drag(m_at_focus);
        update();
        return;
    }
    const double step = (event->modifiers() & Qt::ShiftModifier) ? 0.05 : 0.01;
    double dx = 0;
    double dy = 0;
    switch (event->key()) {
        case Qt::Key_Space:
            // The whole rectangle, then each corner clockwise from the top left.
            m_key_grip = m_key_grip == Grip::move           ? Grip::top_left
                         : m_key_grip == Grip::top_left     ? Grip::top_right
                         : m_key_grip == Grip::top_right    ? Grip::bottom_right
                         : m_key_grip == Grip::bottom_right ? Grip::bottom_left
                                                            : Grip::move;
            update();
            return;
        case Qt::Key_Left:
            dx = -step;
            break;
        case Qt::Key_Right:
            dx = step;
            break;
        case Qt::Key_Up:
            dy = -step;
            break;
        case Qt::Key_Down:
            dy = step;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    m_drag(m_read().moved(m_key_grip, dx, dy));
    update();
}

QSize CropView::sizeHint() const {
    if (m_image.isNull()) {
        return {240, 320};
    }
    const int width = std::min(m_image.width(), 420);
    return {width, heightForWidth(width)};
}

int CropView::heightForWidth(int width) const {
    if (m_image.isNull() || m_image.width() == 0) {
        return width;
    }
    const int shown = std::min(width, std::max(m_image.width(), 240));
    return static_cast<int>(std::lround(static_cast<double>(shown) * m_image.height() / m_image.width()));
}

QRectF CropView::image_rect() const {
    const QRectF space = QRectF(rect()).adjusted(6, 6, -6, -6);
    return fitted(m_image.isNull() ? QSize(3, 4) : m_image.size(), space, true);
}

void CropView::paintEvent(QPaintEvent*) {
    const auto dark = theme::Theme::dark();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = image_rect();
    set_image_filter(painter, m_image.size(), area);
    if (!m_image.isNull()) {
        painter.drawImage(area, m_image);
    }
    const CropSelection s = m_read();
    m_drawn = s;
    const QRectF crop(area.x() + s.left * area.width(), area.y() + s.top * area.height(),
                      (s.right - s.left) * area.width(), (s.bottom - s.top) * area.height());
    QPainterPath outside;
    outside.addRect(area);
    QPainterPath inside;
    inside.addRect(crop);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 130));
    painter.setPen(QPen(colour(dark.accent), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop);
    painter.setBrush(colour(dark.accent));
    painter.setPen(QPen(QColor(255, 255, 255), 1));
    for (const QPointF corner : {crop.topLeft(), crop.topRight(), crop.bottomLeft(), crop.bottomRight()}) {
        painter.drawRect(QRectF(corner.x() - 5, corner.y() - 5, 10, 10));
    }
    if (!hasFocus()) {
        return;
    }
    // The handle the arrow keys move: a larger white one, or a white outline for the whole rectangle.
    painter.setPen(QPen(QColor(255, 255, 255), 2));
    const auto focused = m_key_grip == Grip::top_left       ? std::optional(crop.topLeft())
                         : m_key_grip == Grip::top_right    ? std::optional(crop.topRight())
                         : m_key_grip == Grip::bottom_left  ? std::optional(crop.bottomLeft())
                         : m_key_grip == Grip::bottom_right ? std::optional(crop.bottomRight())
                                                            : std::nullopt;
    if (focused) {
        painter.setBrush(QColor(255, 255, 255));
        painter.drawRect(QRectF(focused->x() - 8, focused->y() - 8, 16, 16));
    } else {
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(crop.adjusted(-3, -3, 3, 3));
    }
}

void CropView::mousePressEvent(QMouseEvent* event) {
    const QRectF area = image_rect();
    if (area.isEmpty() || event->button() != Qt::LeftButton) {
        return;
    }
    const CropSelection s = m_read();
    const QPointF p = event->position();
    auto near = [&](double fx, double fy) {
        const QPointF corner(area.x() + fx * area.width(), area.y() + fy * area.height());
        return std::abs(p.x() - corner.x()) <= 12 && std::abs(p.y() - corner.y()) <= 12;
    };
    if (near(s.left, s.top)) {
        m_grip = Grip::top_left;
    } else if (near(s.right, s.top)) {
        m_grip = Grip::top_right;
    } else if (near(s.left, s.bottom)) {
        m_grip = Grip::bottom_left;
    } else if (near(s.right, s.bottom)) {
        m_grip = Grip::bottom_right;
    } else {
        const QRectF crop(area.x() + s.left * area.width(), area.y() + s.top * area.height(),
                          (s.right - s.left) * area.width(), (s.bottom - s.top) * area.height());
        m_grip = crop.contains(p) ? Grip::move : Grip::none;
    }
    m_press = p;
    m_at_press = s;
}

void CropView::mouseMoveEvent(QMouseEvent* event) {
    const QRectF area = image_rect();
    if (m_grip == Grip::none || area.isEmpty()) {
        return;
    }
    // A corner follows the pointer (inside the page); the whole rectangle moves as far as the pointer did.
    const double fx = std::clamp((event->position().x() - area.x()) / area.width(), 0.0, 1.0);
    const double fy = std::clamp((event->position().y() - area.y()) / area.height(), 0.0, 1.0);
    const CropSelection& s = m_at_press;
    const bool left = m_grip == Grip::top_left || m_grip == Grip::bottom_left;
    const bool top = m_grip == Grip::top_left || m_grip == Grip::top_right;
    double dx = fx - (left ? s.left : s.right);
    double dy = fy - (top ? s.top : s.bottom);
    if (m_grip == Grip::move) {
        dx = (event->position().x() - m_press.x()) / area.width();
        dy = (event->position().y() - m_press.y()) / area.height();
    }
    m_drag(s.moved(m_grip, dx, dy));
    update();
}

void CropView::mouseReleaseEvent(QMouseEvent*) {
    m_grip = Grip::none;
}

}  // namespace kora_ui::qt
