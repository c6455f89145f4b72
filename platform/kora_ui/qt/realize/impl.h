// The realizer's working part for one build, reconcile or late card: makes nodes through their kinds'
// rows, places them in boxes and patches realized ones in place.
#pragma once

#include <QBoxLayout>

#include "qt/realize.h"
#include "qt/realize/kind.h"

namespace kora_ui::qt {

struct Realizer::Impl final : Builder {
    Impl(Realizer& realizer, KeyboardAid& keyboard) : r(realizer), m_keys(keyboard) {}
    Realizer& r;
    bool changed = false;  // a widget was made, removed or patched

    // building.cpp
    QWidget* make(Widget& node, QWidget* parent, const RecordPtr& record, const Context& context) override;
    void place_children(QBoxLayout& layout, int index, std::span<const WidgetPtr> nodes, QWidget* parent,
                        Realized& owner, const Context& context, bool may_wait = true) override;
    QWidget* make_lazy(Widget& node, const RecordPtr& record, QSize estimate, QWidget* parent,
                       const Context& context) override;
    void drop(Realized& record) override;
    void own_box(Realized& record, QBoxLayout* layout, QWidget* parent, int first, bool stretch_rule,
                 const Context& inner) override;
    KeyboardAid& keys() override { return m_keys; }
    Realizer& realizer() override { return r; }
    // Inserts `node` at `index` of a box layout of `parent`: gaps become spacing or stretch, flexible
    // containers take the free space, and wrappers of unknown type add their children in their place.
    void place(QBoxLayout& layout, int index, Widget& node, QWidget* parent, const RecordPtr& record,
               const Context& context);
    // Takes the layout items of `record` out of `layout` and lets their widgets go.
    void remove_items(QBoxLayout& layout, int index, Realized& record);
    static void stamp(Widget& node, Realized& record);

    // patching.cpp
    bool patch(Widget& node, Realized& record, const Context& context) override;
    // Patches a node placed in a box; false when it must be placed afresh.
    bool patch_placed(Widget& node, const RecordPtr& record, QBoxLayout& layout, int index, QWidget* parent,
                      const Context& context);
    // Matches the children from `from` on with their records: by position when as many, else the
    // common start and end are kept and what lies between them is replaced.
    void patch_box_children(std::span<const WidgetPtr> all, Realized& owner, std::size_t from,
                            QBoxLayout& layout, int index, QWidget* parent, const Context& context);

  private:
    KeyboardAid& m_keys;
};

}  // namespace kora_ui::qt
