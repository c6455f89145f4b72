// The wrapping card grid: as many columns as fit (each at least min_column_width), cards never
// wider than max_card_width, rows as high as their tallest card. Qt Widgets has no flow layout.
#pragma once

#include <QLayout>
#include <QList>

namespace kora_ui::qt {

class FlowLayout final : public QLayout {
  public:
    FlowLayout(int min_column_width, int max_card_width, int spacing);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    // Puts `widget` where the item at `index` was; answers the widget that was there (the caller lets
    // it go).
    QWidget* replace_widget_at(int index, QWidget* widget);
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

    // How many columns a width holds, and the width of each card then.
    [[nodiscard]] int columns_for(int width) const;
    [[nodiscard]] int card_width_for(int width) const;

  private:
    int arrange(const QRect& rect, bool apply) const;
    QList<QLayoutItem*> m_items;
    int m_min_column_width;
    int m_max_card_width;
    int m_gap;
};

}  // namespace kora_ui::qt
