// A row of panels (cards, the crop editor) that stacks them one above the other when the width cannot
// hold them side by side at a readable size, as in a narrow window.
#pragma once

#include <QBoxLayout>
#include <QWidget>

namespace kora_ui::qt {

class ReflowRow final : public QWidget {
  public:
    // Side by side each panel needs at least `panel_width`, or its own minimum when that is wider.
    ReflowRow(int panel_width, int spacing, QWidget* parent);

    [[nodiscard]] QBoxLayout& box() const { return *m_box; }
    [[nodiscard]] bool stacked() const { return m_box->direction() == QBoxLayout::TopToBottom; }
    // The narrowest width at which the panels still sit side by side.
    [[nodiscard]] int side_by_side_width() const;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void arrange_for(int width);

    QBoxLayout* m_box;
    int m_panel_width;
};

}  // namespace kora_ui::qt
