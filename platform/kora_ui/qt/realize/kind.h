// The kind table: one row per widget kind, looked up once per node by its type. A row says how the
// kind is made, signed for matching, patched in place, shown from its bound cells and placed in its
// box, so that knowledge about a kind lives with its family and not in ladders over every kind.
#pragma once

#include <QSize>
#include <span>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>

#include "kora_ui/widget.h"
#include "qt/realize.h"
#include "qt/realize/context.h"

class QBoxLayout;
class QWidget;

namespace kora_ui::qt {

class KeyboardAid;

// What the families call back for: children, late cards and the realizer's services. No family
// includes another; they meet only here.
class Builder {
  public:
    virtual ~Builder() = default;
    // One QWidget (a child of `parent`) showing `node` and its subtree; fills `record`.
    virtual QWidget* make(Widget& node, QWidget* parent, const RecordPtr& record, const Context& context) = 0;
    // Places `nodes` into `layout` from `index` on, appending their records to `owner`.
    virtual void place_children(QBoxLayout& layout, int index, std::span<const WidgetPtr> nodes,
                                QWidget* parent, Realized& owner, const Context& context,
                                bool may_wait = true) = 0;
    // A placeholder that realizes `node` when it is first painted (or when the host is idle).
    virtual QWidget* make_lazy(Widget& node, const RecordPtr& record, QSize estimate, QWidget* parent,
                               const Context& context) = 0;
    // Marks a record and its subtree as no longer shown (their widgets are going).
    virtual void drop(Realized& record) = 0;
    // Patches a realized node in place; false when it must be made afresh.
    virtual bool patch(Widget& node, Realized& record, const Context& context) = 0;
    // `record` lays its children out in `layout` from `first` on, in `inner`.
    virtual void own_box(Realized& record, QBoxLayout* layout, QWidget* parent, int first, bool stretch_rule,
                         const Context& inner) = 0;
    virtual KeyboardAid& keys() = 0;
    virtual Realizer& realizer() = 0;
};

// What a widget's own part shows (children and bound cells aside): equal signatures need no change.
class Signature {
  public:
    void add(std::string_view part) {
        m_out += part;
        m_out += '\x1f';
    }
    // The bytes of a number: only equality matters.
    void number(double value) {
        m_out.append(reinterpret_cast<const char*>(&value), sizeof value);
        m_out += '\x1f';
    }
    [[nodiscard]] std::string take() { return std::move(m_out); }

  private:
    std::string m_out;
};

// What the placement rules look for in a row's children.
enum class Shape : std::uint8_t { other, column, row, container, button };

struct Kind {
    using Make = QWidget* (*)(Builder&, Widget&, QWidget* parent, const RecordPtr&, const Context&);
    Make make = nullptr;
    void (*sign)(const Widget&, Signature&) = nullptr;
    // Shows a changed signature on the kept widget; null or false: the widget is made afresh.
    bool (*patch)(Widget&, Realized&) = nullptr;
    // Shows the node's bound cells on its widget, however they were set.
    void (*show_bound)(Widget&, Realized&) = nullptr;
    // Patches what the widget holds beyond its box (a card's header, a grid's cards); false: made afresh.
    bool (*patch_inside)(Builder&, Widget&, Realized&, const Context&) = nullptr;
    // Takes the free space of a box (a flexible container or filler, a list that scrolls).
    bool (*fills)(const Widget&) = nullptr;
    int fill_stretch = 1;
    bool keeps_page_level = false;  // its children stay at the page's level
    bool stretches_in_row = false;  // takes the row's height instead of its own
    bool keeps_own_width = false;   // a control or picture: never stretched across a column
    bool panel = false;             // a card or the crop editor (rows of two stack when narrow)
    bool segmented = false;         // its Tab stops are its segments (direct child buttons)
    bool gap = false;               // a spacer: spacing or stretch of its box, no widget
    bool text = false;              // a text: names the segmented control after it
    bool scrollable = false;
    bool program = false;  // a type of the program's own, shown through its children
    Shape shape = Shape::other;
};

// The row of `node`'s type; types of the program's own get the wrapper rows (a card when it says so).
[[nodiscard]] const Kind& kind_of(const Widget& node);

// The families' rows.
using KindTable = std::unordered_map<std::type_index, Kind>;
void add_controls(KindTable& table);
void add_containers(KindTable& table);
void add_cards(KindTable& table);
void add_leaves(KindTable& table);
// The rows of the program's own types: plain wrappers and cards.
[[nodiscard]] const Kind& wrapper_kind();
[[nodiscard]] const Kind& card_wrapper_kind();

// The node a control's handler reaches, of the type its row was made for (null if the tree moved on).
template <class Node>
Node* node_as(Widget& node) {
    return dynamic_cast<Node*>(&node);
}

}  // namespace kora_ui::qt
