#include "qt/flow_layout.h"

#include <QWidget>
#include <algorithm>

namespace kora_ui::qt {

FlowLayout::FlowLayout(int min_column_width, int max_card_width, int spacing)
    : m_min_column_width(std::max(1, min_column_width)),
      m_max_card_width(std::max(m_min_column_width, max_card_width)),
      m_gap(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QWidget* FlowLayout::replace_widget_at(int index, QWidget* widget) {
    if (index < 0 || index >= m_items.size()) {
        return nullptr;
    }
    QLayoutItem* old = m_items[index];
    QWidget* was = old->widget();
    addChildWidget(widget);
    m_items[index] = new QWidgetItem(widget);
    delete old;
    invalidate();
    return was;
}

int FlowLayout::columns_for(int width) const {
    const int fit = (width + m_gap) / (m_min_column_width + m_gap);
    return std::clamp(fit, 1, std::max(1, static_cast<int>(m_items.size())));
}

int FlowLayout::card_width_for(int width) const {
    const int columns = columns_for(width);
    const int share = (width - (columns - 1) * m_gap) / columns;
    return std::max(1, std::min(share, m_max_card_width));
}

int FlowLayout::heightForWidth(int width) const {
    const auto margins = contentsMargins();
    return arrange(QRect(0, 0, width, 0), false) + margins.top() + margins.bottom();
}

QSize FlowLayout::minimumSize() const {
    int height = 0;
    for (auto* item : m_items) {
        height = std::max(height, item->minimumSize().height());
    }
    return {std::min(m_min_column_width, 120), height};
}

QSize FlowLayout::sizeHint() const {
    const int columns = std::max(1, std::min(2, static_cast<int>(m_items.size())));
    const int width = columns * m_min_column_width + (columns - 1) * m_gap;
    return {width, heightForWidth(width)};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(contentsRect(), true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const {
    const int columns = columns_for(rect.width());
    const int card_width = card_width_for(rect.width());
    int y = rect.y();
    for (int start = 0; start < m_items.size(); start += columns) {
        const int end = std::min(static_cast<int>(m_items.size()), start + columns);
        int row_height = 0;
        for (int i = start; i < end; ++i) {
            auto* item = m_items.at(i);
            const int h =
                item->hasHeightForWidth() ? item->heightForWidth(card_width) : item->sizeHint().height();
            row_height = std::max(row_height, h);
        }
        if (apply) {
            for (int i = start; i < end; ++i) {
                const int x = rect.x() + (i - start) * (card_width + m_gap);
                m_items.at(i)->setGeometry(QRect(x, y, card_width, row_height));
            }
        }
        y += row_height + (end < m_items.size() ? m_gap : 0);
    }
    return y - rect.y();
}

}  // namespace kora_ui::qt
