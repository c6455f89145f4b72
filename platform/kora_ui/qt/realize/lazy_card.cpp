#include "qt/realize/lazy_card.h"

#include <QTimer>

#include "qt/realize/box.h"

namespace kora_ui::qt {

LazyCard::LazyCard(std::weak_ptr<Realized> record, Realizer& realizer, QSize estimate, QWidget* parent)
    : QWidget(parent),
      m_record(std::move(record)),
      m_realizer(&realizer),
      m_estimate(estimate.isEmpty() ? QSize(240, 160) : estimate) {  // never empty, or it never paints
    auto* layout = new ColumnBox(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QSize LazyCard::sizeHint() const {
    return layout()->count() > 0 ? QWidget::sizeHint() : m_estimate;
}

QSize LazyCard::minimumSizeHint() const {
    return layout()->count() > 0 ? QWidget::minimumSizeHint() : QSize(0, 0);
}

void LazyCard::paintEvent(QPaintEvent*) {
    if (layout()->count() > 0 || m_queued) {
        return;
    }
    // Never change the widget tree while Qt paints it.
    m_queued = true;
    QTimer::singleShot(0, this, [this] { m_realizer->realize_lazy(m_record.lock()); });
}

}  // namespace kora_ui::qt
