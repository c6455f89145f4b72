// A card of a long list realized after the first frame (when painted, focused, or when the host is
// idle) instead of with the page. Until then it keeps the size of the last card realized before it.
#pragma once

#include <QWidget>
#include <memory>

#include "qt/realize.h"

namespace kora_ui::qt {

class LazyCard final : public QWidget {
  public:
    LazyCard(std::weak_ptr<Realized> record, Realizer& realizer, QSize estimate, QWidget* parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::weak_ptr<Realized> m_record;
    Realizer* m_realizer;
    QSize m_estimate;
    bool m_queued = false;
};

}  // namespace kora_ui::qt
