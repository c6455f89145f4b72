// Making: each node through its kind's row, placed into the box of its parent.
#include <QBoxLayout>
#include <QWidget>
#include <cmath>

#include "kora_ui/widgets.h"

#include "qt/realize/impl.h"
#include "qt/realize/layout_rules.h"
#include "qt/realize/lazy_card.h"

namespace kora_ui::qt {

void Realizer::Impl::stamp(Widget& node, Realized& record) {
    record.node = &node;
    record.serial = node.serial();
    if (record.type != typeid(node) || !record.kind) {
        record.type = typeid(node);
        record.kind = &kind_of(node);
    } else if (record.kind->program) {
        record.kind = &kind_of(node);  // a wrapper of the program's own may start or stop saying it is a card
    }
    record.meaning = node.meaning();
    if (record.control_id != node.control_id()) {
        record.control_id = std::string(node.control_id());
    }
}

QWidget* Realizer::Impl::make(Widget& node, QWidget* parent, const RecordPtr& record,
                              const Context& context) {
    ++r.m_realized;
    changed = true;
    stamp(node, *record);
    record->signature = signature_of(node);
    record->children.clear();
    record->lazy = false;
    record->context = context;
    const Kind& kind = *record->kind;
    if (kind.program && node.children().size() == 1 && &kind == &wrapper_kind()) {
        --r.m_realized;  // its only child stands in for it
    }
    QWidget* widget = kind.make(*this, node, parent, record, context);
    record->widget = widget;
    record->tab_fresh = true;
    r.m_tab_order_dirty = true;
    return widget;
}

void Realizer::Impl::own_box(Realized& record, QBoxLayout* layout, QWidget* parent, int first,
                             bool stretch_rule, const Context& inner) {
    record.box = layout;
    record.box_parent = parent;
    record.box_first = first;
    record.inner = inner;
    record.stretch_rule = stretch_rule;
    record.trailing_stretch = stretch_rule && record.node && !any_fills(*record.node);
}

void Realizer::Impl::place(QBoxLayout& layout, int index, Widget& node, QWidget* parent,
                           const RecordPtr& record, const Context& context) {
    const bool vertical =
        layout.direction() == QBoxLayout::TopToBottom || layout.direction() == QBoxLayout::BottomToTop;
    stamp(node, *record);
    const Kind& kind = *record->kind;
    if (kind.gap) {
        ++r.m_realized;
        record->signature = signature_of(node);
        record->items = 1;
        const auto& spacer = static_cast<const Spacer&>(node);
        if (spacer.is_flexible()) {
            layout.insertStretch(index, 1);
        } else {
            layout.insertSpacing(index, static_cast<int>(std::lround(spacer.size())));
        }
        changed = true;
        return;
    }
    if (is_transparent(node)) {
        record->signature.clear();
        record->items = 0;
        record->context = context;
        place_children(layout, index, node.children(), parent, *record, context, false);
        return;
    }
    Context here = context;
    here.wraps_here = vertical && context.wrap;
    QWidget* widget = make(node, parent, record, here);
    record->items = 1;
    record->stretch = stretch_for(node);
    if (vertical) {
        layout.insertWidget(index, widget, record->stretch,
                            kind.keeps_own_width ? Qt::AlignLeft : Qt::Alignment());
    } else {
        // Buttons keep their width, also when their row stacks them in a narrow window.
        const Qt::Alignment keeps =
            kind.shape == Shape::button ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignVCenter;
        layout.insertWidget(index, widget, record->stretch, kind.stretches_in_row ? Qt::Alignment() : keeps);
    }
    // Readers walk a widget's children in the order they were made: one placed before others goes
    // before them there too.
    for (int i = index + 1; i < layout.count(); ++i) {
        if (QWidget* next = layout.itemAt(i)->widget();
            next && next->parentWidget() == widget->parentWidget()) {
            widget->stackUnder(next);
            break;
        }
    }
    if (parent->isVisible()) {
        widget->show();
    }
}

void Realizer::Impl::place_children(QBoxLayout& layout, int index, std::span<const WidgetPtr> nodes,
                                    QWidget* parent, Realized& owner, const Context& context, bool may_wait) {
    const bool vertical = layout.direction() == QBoxLayout::TopToBottom;
    std::size_t bulky = 0;
    QSize estimate;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Widget& child = *nodes[i];
        auto record = std::make_shared<Realized>();
        const bool big = may_wait && vertical && is_bulky(child);
        if (big && bulky++ >= kEagerCards) {
            record->items = 1;
            layout.insertWidget(index, make_lazy(child, record, estimate, parent, context));
        } else {
            Context here = context;
            here.caption = caption_before(nodes, i);
            place(layout, index, child, parent, record, here);
            if (big && record->widget) {
                estimate = record->widget->sizeHint();
            }
        }
        index += record->items;
        owner.items += record->items;
        owner.children.push_back(std::move(record));
    }
}

QWidget* Realizer::Impl::make_lazy(Widget& node, const RecordPtr& record, QSize estimate, QWidget* parent,
                                   const Context& context) {
    stamp(node, *record);
    record->signature = signature_of(node);
    record->lazy = true;
    record->context = context;
    auto* holder = new LazyCard(record, r, estimate, parent);
    record->holder = holder;
    r.m_waiting.push_back(record);
    return holder;
}

void Realizer::Impl::drop(Realized& record) {
    record.dropped = true;
    for (const auto& child : record.children) {
        drop(*child);
    }
}

void Realizer::Impl::remove_items(QBoxLayout& layout, int index, Realized& record) {
    drop(record);
    for (int i = 0; i < record.items; ++i) {
        QLayoutItem* item = layout.takeAt(index);
        if (!item) {
            break;
        }
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    changed = true;
}

}  // namespace kora_ui::qt
