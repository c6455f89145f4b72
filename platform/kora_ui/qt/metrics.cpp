#include "qt/metrics.h"

#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>

namespace kora_ui::qt {

namespace {

class HostStyle final : public QProxyStyle {
  public:
    HostStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        QSize size = QProxyStyle::sizeFromContents(type, option, contents, widget);
        switch (type) {
            case CT_PushButton: {
                const int frame = 2 * proxy()->pixelMetric(PM_DefaultFrameWidth, option, widget);
                const auto* button = qobject_cast<const QPushButton*>(widget);
                if (button && button->isCheckable()) {
                    // Segments are as wide as their text needs (Fusion's 80 px minimum would not let
                    // four of them fit a narrow window).
                    size.setWidth(contents.width() + 2 * kSegmentPadding + frame);
                } else {
                    size.setWidth(std::max(size.width(), contents.width() + 2 * kButtonPadding + frame));
                }
                size.setHeight(std::max(size.height(), kControlHeight));
                break;
            }
            case CT_ComboBox:
            case CT_SpinBox:
            case CT_LineEdit:
                size.setHeight(std::max(size.height(), kControlHeight));
                break;
            default:
                break;
        }
        return size;
    }

    // Push buttons in exactly their palette's colour (Fusion would lighten and desaturate it, so a
    // primary button's white text would lose its contrast), with a thin border and a rounded frame.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_PanelButtonCommand) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        const bool flat = button && (button->features & QStyleOptionButton::Flat);
        const bool hovered = option->state & State_MouseOver;
        const bool pressed = option->state & (State_Sunken | State_On);
        if (flat && !hovered && !pressed) {
            return;
        }
        const QPalette& palette = option->palette;
        QColor fill = palette.color(QPalette::Button);
        if (pressed) {
            fill = fill.darker(115);
        } else if (hovered) {
            fill = fill.lighter(106);
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(palette.color(QPalette::Mid), 1));
        painter->setBrush(fill);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter->restore();
    }
};

}  // namespace

QStyle* make_host_style() {
    return new HostStyle();
}

}  // namespace kora_ui::qt
