#include "qt/reflow_row.h"

#include <QResizeEvent>
#include <algorithm>

namespace kora_ui::qt {

ReflowRow::ReflowRow(int panel_width, int spacing, QWidget* parent)
    : QWidget(parent), m_box(new QBoxLayout(QBoxLayout::LeftToRight, this)), m_panel_width(panel_width) {
    m_box->setContentsMargins(0, 0, 0, 0);
    m_box->setSpacing(spacing);
    // The row's minimum is its stacked one (minimumSizeHint), not the sum the box would impose.
    m_box->setSizeConstraint(QLayout::SetNoConstraint);
}

int ReflowRow::side_by_side_width() const {
    int total = 0;
    int panels = 0;
    for (int i = 0; i < m_box->count(); ++i) {
        QLayoutItem* item = m_box->itemAt(i);
        if (item->widget() != nullptr) {
            total += std::max(item->minimumSize().width(), m_panel_width);
            ++panels;
        } else if (item->spacerItem() == nullptr || item->expandingDirections() == Qt::Orientations()) {
            total += item->minimumSize().width();
        }
    }
    return total + m_box->spacing() * std::max(0, panels - 1);
}

QSize ReflowRow::minimumSizeHint() const {
    int widest = 0;
    for (int i = 0; i < m_box->count(); ++i) {
        if (QLayoutItem* item = m_box->itemAt(i); item->widget() != nullptr) {
            widest = std::max(widest, item->minimumSize().width());
        }
    }
    return {widest, m_box->minimumSize().height()};
}

void ReflowRow::resizeEvent(QResizeEvent* event) {
    arrange_for(event->size().width());
    QWidget::resizeEvent(event);
}

void ReflowRow::arrange_for(int width) {
    const auto direction = width < side_by_side_width() ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (direction != m_box->direction()) {
        m_box->setDirection(direction);
        // The height for this width changed: the page lays itself out again.
        updateGeometry();
    }
}

}  // namespace kora_ui::qt
