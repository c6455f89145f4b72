// Keyboard use of the realized controls: Enter and Space press a focused button, the arrow keys move
// within a segmented control, and a focused control wears a ring that no button style resembles.
#pragma once

#include <QObject>

class QWidget;

namespace kora_ui::qt {

class KeyboardAid final : public QObject {
  public:
    using QObject::QObject;
    // Serves `control` from now on; a segment moves to its neighbours with the arrow keys.
    void watch(QWidget* control, bool segment = false);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Draws the focus ring over `widget` (from within its paint event): 2 px of near-white, at least 3:1
// against the dark surfaces and the accent fill, with a dark line inside it that keeps it apart from
// the fill.
void paint_focus_ring(QWidget& widget);

}  // namespace kora_ui::qt
