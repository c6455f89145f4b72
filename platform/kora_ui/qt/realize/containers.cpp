// The containers family: columns, rows (stacking in a narrow window when they hold panels side by
// side), sized containers, scrollable areas and the program's own wrapper types.
#include <QScrollArea>
#include <QScrollBar>

#include "kora_ui/widgets.h"
#include "qt/qstrings.h"
#include "qt/realize/box.h"
#include "qt/realize/kind.h"
#include "qt/realize/layout_rules.h"
#include "qt/reflow_row.h"

namespace kora_ui::qt {

namespace containers {

QWidget* make_stack(Builder& builder, Widget& node, bool vertical, QWidget* parent, const RecordPtr& record,
                    const Context& context, bool keeps_page_level) {
    // Texts of a column placed in a row do not wrap (a wrapped label in a row wraps early).
    Context inner = context.inside(keeps_page_level);
    inner.wrap = vertical ? context.wraps_here && context.wrap : context.wrap;
    QWidget* box = nullptr;
    QBoxLayout* layout = nullptr;
    if (!vertical && reflows(node)) {
        const bool buttons = is_button_row(node);
        auto* reflow =
            new ReflowRow(buttons ? 0 : kPanelWidth, buttons ? kRowSpacing : kPanelSpacing, parent);
        box = reflow;
        layout = &reflow->box();
    } else {
        box = new QWidget(parent);
        layout = vertical ? static_cast<QBoxLayout*>(new ColumnBox(box))
                          : static_cast<QBoxLayout*>(new RowBox(box));
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(vertical ? 0 : kRowSpacing);
    }
    builder.own_box(*record, layout, box, 0, true, inner);
    builder.place_children(*layout, 0, node.children(), box, *record, inner);
    if (record->trailing_stretch) {
        layout->addStretch(1);
    }
    return box;
}

QWidget* make_column(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                     const Context& context) {
    return make_stack(builder, node, true, parent, record, context, false);
}

QWidget* make_row(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                  const Context& context) {
    return make_stack(builder, node, false, parent, record, context, true);
}

void sign_row(const Widget& node, Signature& out) {
    out.number(reflows(node));
    out.number(is_button_row(node));
}

QWidget* make_container(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                        const Context& context) {
    auto& container = static_cast<Container&>(node);
    auto* box = new QWidget(parent);
    auto* layout = new ColumnBox(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Context inner = context.inside(true);
    inner.wrap = true;
    builder.own_box(*record, layout, box, 0, false, inner);
    builder.place_children(*layout, 0, container.children(), box, *record, inner);
    if (container.min_width()) {
        box->setMinimumWidth(static_cast<int>(*container.min_width()));
    }
    if (container.max_width()) {
        box->setMaximumWidth(static_cast<int>(*container.max_width()));
    }
    if (container.is_flexible()) {
        box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    return box;
}

void sign_container(const Widget& node, Signature& out) {
    const auto& container = static_cast<const Container&>(node);
    out.number(container.is_flexible());
    out.number(container.min_width().value_or(-1));
    out.number(container.max_width().value_or(-1));
}

QWidget* make_scrollable(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                         const Context& context) {
    if (context.page_level) {
        // The page's own scrollable: the window already scrolls, from anywhere in it, with its
        // scroll bar at the window's edge.
        return make_stack(builder, node, true, parent, record, context, false);
    }
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    area->setFocusPolicy(Qt::NoFocus);  // an unnamed stop in Tab order; it scrolls to what has focus
    // A reader hears what the bar scrolls: the card it is in.
    area->verticalScrollBar()->setAccessibleName(context.subject.empty() ? tq("List") : qs(context.subject));
    auto* inner_widget = new QWidget(area);
    auto* layout = new ColumnBox(inner_widget);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(0);
    const Context inner = context.inside(false);
    builder.own_box(*record, layout, inner_widget, 0, true, inner);
    builder.place_children(*layout, 0, node.children(), inner_widget, *record, inner);
    if (record->trailing_stretch) {
        layout->addStretch(1);
    }
    area->setWidget(inner_widget);
    return area;
}

// A type of the program's own: a single child stands in for it, several are stacked.
QWidget* make_wrapper(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                      const Context& context) {
    if (node.children().size() == 1) {
        auto child = std::make_shared<Realized>();
        record->children.push_back(child);
        return builder.make(*node.children().front(), parent, child, context);
    }
    return make_stack(builder, node, true, parent, record, context, true);
}

bool row_fills(const Widget& node) {
    return holds_scrollable(node, 2);
}
bool container_fills(const Widget& node) {
    return static_cast<const Container&>(node).is_flexible();
}
bool always_fills(const Widget&) {
    return true;
}

}  // namespace containers

void add_containers(KindTable& table) {
    using namespace containers;
    table[typeid(Column)] = {.make = make_column, .stretches_in_row = true, .shape = Shape::column};
    table[typeid(Row)] = {.make = make_row,
                          .sign = sign_row,
                          .fills = row_fills,
                          .keeps_page_level = true,
                          .shape = Shape::row};
    table[typeid(Container)] = {.make = make_container,
                                .sign = sign_container,
                                .fills = container_fills,
                                .fill_stretch = 1000,
                                .keeps_page_level = true,
                                .stretches_in_row = true,
                                .shape = Shape::container};
    table[typeid(Scrollable)] = {
        .make = make_scrollable, .fills = always_fills, .stretches_in_row = true, .scrollable = true};
}

const Kind& wrapper_kind() {
    static const Kind kind{.make = containers::make_wrapper, .keeps_page_level = true, .program = true};
    return kind;
}

}  // namespace kora_ui::qt
