#include "qt/keyboard.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

#include "kora_ui/theme.h"
#include "qt/style.h"

namespace kora_ui::qt {

namespace {
constexpr const char* kSegment = "kora_segment";

// Checks and focuses the segment `step` places from `segment` (wrapping), as a click would.
void move_within_segments(QAbstractButton& segment, int step) {
    QWidget* strip = segment.parentWidget();
    if (!strip) {
        return;
    }
    const auto segments = strip->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    const auto at = segments.indexOf(&segment);
    if (at < 0 || segments.size() < 2) {
        return;
    }
    const auto count = segments.size();
    auto* next = segments[((at + step) % count + count) % count];
    next->setFocus(Qt::TabFocusReason);
    next->click();
}
}  // namespace

void KeyboardAid::watch(QWidget* control, bool segment) {
    control->installEventFilter(this);
    if (segment) {
        control->setProperty(kSegment, true);
    }
}

bool KeyboardAid::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) {
        return false;
    }
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            auto* button = qobject_cast<QAbstractButton*>(widget);
            if (!button || !button->isEnabled() || (key->modifiers() & ~Qt::KeypadModifier) != 0) {
                return false;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                button->click();
                return true;
            }
            if (widget->property(kSegment).toBool()) {
                if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up) {
                    move_within_segments(*button, -1);
                    return true;
                }
                if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down) {
                    move_within_segments(*button, 1);
                    return true;
                }
            }
            return false;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            widget->update();
            return false;
        case QEvent::Paint:
            if (!widget->hasFocus()) {
                return false;
            }
            // The widget paints itself first, then the ring goes over its edge.
            static_cast<QObject*>(widget)->event(event);
            paint_focus_ring(*widget);
            return true;
        default:
            return false;
    }
}

void paint_focus_ring(QWidget& widget) {
    QPainter painter(&widget);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(widget.rect()).adjusted(1, 1, -1, -1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255), 2));
    painter.drawRoundedRect(outer, 5, 5);
    painter.setPen(QPen(colour(theme::Theme::dark().window), 1));
    painter.drawRoundedRect(outer.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
}

}  // namespace kora_ui::qt
