// Widgets the host paints itself: card and banner frames, the divider, images, the page glyph and
// the crop editor. Painting directly keeps rebuilds cheap (no stylesheet to polish).
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>

#include "kora_ui/local_state.h"

namespace kora_ui::qt {

// A rounded, filled frame; children are laid out inside it by the layout the caller sets.
class Frame final : public QWidget {
  public:
    Frame(QColor fill, QColor border, int radius);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_fill;
    QColor m_border;
    int m_radius;
};

class DividerLine final : public QWidget {
  public:
    DividerLine();

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// An image at its own size, scaled down (keeping its proportions) when space is short.
class ImageView final : public QWidget {
  public:
    explicit ImageView(QImage image);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    [[nodiscard]] const QImage& image() const { return m_image; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_image;
};

// A page glyph with "Page P of T" under it.
class PageGlyph final : public QWidget {
  public:
    PageGlyph(unsigned page, unsigned total);
    QSize sizeHint() const override { return {84, 104}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_caption;
};

// The page image with the crop rectangle; dragging a corner handle moves that corner, dragging
// inside moves the whole rectangle. From the keyboard the arrow keys move the focused handle (the
// whole rectangle at first; Space picks the next corner), Shift a larger step. Escape puts back the
// selection the editor had when it took the focus; with nothing to undo it goes to the page (back).
// Every change goes through `drag` (which clamps it).
class CropView final : public QWidget {
  public:
    CropView(QImage image, std::function<CropSelection()> read, std::function<void(CropSelection)> drag);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {120, 120}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // Where the image is drawn inside the widget.
    [[nodiscard]] QRectF image_rect() const;
    // Repaints when the selection changed since it was last drawn.
    void refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    using Grip = CropSelection::Grip;
    QImage m_image;
    std::function<CropSelection()> m_read;
    std::function<void(CropSelection)> m_drag;
    Grip m_grip = Grip::none;
    Grip m_key_grip = Grip::move;
    CropSelection m_drawn;
    QPointF m_press;
    CropSelection m_at_press;
    CropSelection m_at_focus = CropSelection::whole();
};

}  // namespace kora_ui::qt
