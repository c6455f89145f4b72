// Patching: a new tree laid over the realized one, node by node; only what differs is touched.
#include <QBoxLayout>

#include "qt/realize/impl.h"
#include "qt/realize/layout_rules.h"

namespace kora_ui::qt {

namespace {
bool same_kind(const Widget& node, const Realized& record) {
    return std::type_index(typeid(node)) == record.type && node.control_id() == record.control_id;
}
}  // namespace

bool Realizer::Impl::patch_placed(Widget& node, const RecordPtr& record, QBoxLayout& layout, int index,
                                  QWidget* parent, const Context& context) {
    if (!same_kind(node, *record)) {
        return false;
    }
    if (record->kind->gap) {
        if (record->serial != node.serial() && signature_of(node) != record->signature) {
            return false;
        }
        stamp(node, *record);
        return true;
    }
    if (!record->widget && !record->holder) {
        if (!is_transparent(node)) {
            return false;
        }
        stamp(node, *record);
        patch_box_children(node.children(), *record, 0, layout, index, parent, context);
        record->items = 0;
        for (const auto& child : record->children) {
            record->items += child->items;
        }
        return true;
    }
    if (!record->holder && stretch_for(node) != record->stretch) {
        return false;
    }
    return patch(node, *record, context);
}

bool Realizer::Impl::patch(Widget& node, Realized& record, const Context& context) {
    if (!same_kind(node, record)) {
        return false;
    }
    const bool same_object = record.serial == node.serial();
    if (record.lazy) {
        stamp(node, record);
        return true;
    }
    const Kind& kind = *record.kind;
    if (!same_object) {
        auto signature = signature_of(node);
        if (signature != record.signature) {
            if (!kind.patch || !kind.patch(node, record)) {
                return false;
            }
            record.signature = std::move(signature);
            changed = true;
        }
    }
    stamp(node, record);
    if (kind.show_bound && record.widget) {
        kind.show_bound(node, record);
    }
    if (kind.patch_inside && !kind.patch_inside(*this, node, record, context)) {
        return false;
    }
    if (record.box) {
        if (record.stretch_rule && record.trailing_stretch == any_fills(node)) {
            return false;
        }
        patch_box_children(node.children(), record, record.boxed_from, *record.box, record.box_first,
                           record.box_parent, record.inner);
        return true;
    }
    if (kind.patch_inside) {
        return true;
    }
    const auto children = node.children();
    if (children.size() != record.children.size()) {
        return false;
    }
    // A wrapper of the program's own shown as its only child.
    return children.empty() || patch(*children.front(), *record.children.front(), context);
}

void Realizer::Impl::patch_box_children(std::span<const WidgetPtr> all, Realized& owner, std::size_t from,
                                        QBoxLayout& layout, int index, QWidget* parent,
                                        const Context& context) {
    const auto nodes = all.subspan(std::min(from, all.size()));
    std::vector<RecordPtr> old(owner.children.begin() + static_cast<std::ptrdiff_t>(from),
                               owner.children.end());
    owner.children.resize(from);
    const std::size_t n = nodes.size();
    const std::size_t m = old.size();
    std::size_t prefix = std::min(n, m);
    std::size_t suffix = 0;
    if (n != m) {
        prefix = 0;
        while (prefix < std::min(n, m) && same_kind(*nodes[prefix], *old[prefix])) {
            ++prefix;
        }
        while (suffix < std::min(n, m) - prefix && same_kind(*nodes[n - 1 - suffix], *old[m - 1 - suffix])) {
            ++suffix;
        }
    }
    auto fresh = [&](std::size_t i) {
        Context here = context;
        here.caption = caption_before(nodes, i);
        auto record = std::make_shared<Realized>();
        place(layout, index, *nodes[i], parent, record, here);
        return record;
    };
    auto keep = [&](std::size_t i, RecordPtr record) {
        if (!patch_placed(*nodes[i], record, layout, index, parent, context)) {
            remove_items(layout, index, *record);
            record = fresh(i);
        }
        index += record->items;
        owner.children.push_back(std::move(record));
    };
    for (std::size_t i = 0; i < prefix; ++i) {
        keep(i, old[i]);
    }
    for (std::size_t i = prefix; i < m - suffix; ++i) {
        remove_items(layout, index, *old[i]);
    }
    for (std::size_t i = prefix; i < n - suffix; ++i) {
        auto record = fresh(i);
        index += record->items;
        owner.children.push_back(std::move(record));
    }
    for (std::size_t k = 0; k < suffix; ++k) {
        keep(n - suffix + k, old[m - suffix + k]);
    }
}

}  // namespace kora_ui::qt
