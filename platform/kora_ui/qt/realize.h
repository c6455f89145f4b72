// Turns a kora_ui widget tree into QWidgets and keeps them in line with later trees: a new tree is
// compared with what was realized and only what differs is patched, so focus, scroll positions, an
// open drop-down and a screen reader's place survive. Controls never hold pointers into a tree: their
// handlers name a record, and a record reaches its node only after the realizer has checked that the
// tree it realized is still the root's.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <vector>

#include "kora_ui/widget.h"
#include "qt/realize/context.h"

class QBoxLayout;
class QWidget;

namespace kora_ui::qt {
class KeyboardAid;
struct Kind;
}  // namespace kora_ui::qt

namespace kora_ui::qt {

// What is kept of one realized node. Children are aligned with the node's children.
struct Realized {
    Widget* node = nullptr;  // valid only right after Realizer::current answered true
    std::uint64_t serial = 0;
    std::type_index type{typeid(void)};  // the node's type
    const Kind* kind = nullptr;          // its row of the kind table
    Meaning meaning = Meaning::none;     // what the node said it is for
    std::string control_id;
    std::string signature;  // what the widget shows of the node itself, children aside
    QPointer<QWidget> widget;
    QPointer<QWidget> holder;   // the placeholder of a card realized later, which holds `widget`
    QBoxLayout* box = nullptr;  // where the children are laid out (for the kinds that patch them)
    QWidget* box_parent = nullptr;
    int box_first = 0;              // the layout index of the first child laid out in `box`
    std::size_t boxed_from = 0;     // children before this one are not in `box` (a card's header)
    bool trailing_stretch = false;  // `box` ends with a stretch after the children
    Context context;                // what the node was realized within
    Context inner;                  // what its children in `box` are realized within
    int items = 0;                  // layout items this node takes in its parent's box
    int stretch = 0;
    bool stretch_rule = false;  // whether `box` gets that stretch when no child fills it
    bool lazy = false;          // a placeholder waits to realize the node
    bool dropped = false;       // no longer shown (its widgets are going)
    bool tab_fresh = false;     // made since Tab order was last put right
    std::vector<std::shared_ptr<Realized>> children;
};
using RecordPtr = std::shared_ptr<Realized>;

class Realizer {
  public:
    // `root` outlives the realizer; `after_input` runs after a control changed something.
    Realizer(Widget& root, std::function<void()> after_input);
    Realizer(const Realizer&) = delete;
    Realizer& operator=(const Realizer&) = delete;
    ~Realizer();

    // A new page widget showing the whole root (forgets what was realized before).
    [[nodiscard]] QWidget* build();
    // Patches the page to show the root's current tree; true when any widget changed.
    bool reconcile();
    // Whether the records still stand for the root's nodes object for object (and points them there).
    [[nodiscard]] bool current();
    // Runs `work` on a control's node in the current tree (reconciling first if the tree changed);
    // nothing when the control is gone.
    void dispatch(const std::weak_ptr<Realized>& control, const std::function<void(Widget&)>& work);
    // Realizes a card that waited; false when it is gone or was realized already.
    bool realize_lazy(const std::shared_ptr<Realized>& record);
    // Realizes up to `count` waiting cards; true while some still wait.
    bool realize_waiting(std::size_t count);
    // Presses the enabled back control of the page; false when there is none.
    bool press_back();
    // Whether a control that removes or rearranges what the user made was pressed since last asked.
    [[nodiscard]] bool take_destructive_press() { return std::exchange(m_destructive_pressed, false); }
    // The control the page says it shows (where focus goes after a destructive press), if focusable.
    [[nodiscard]] QWidget* main_control() const;

    // The first control of the page, in Tab order.
    [[nodiscard]] QWidget* first_control() const;
    // The text of the page's title, to tell a page change from a refresh of the same page.
    [[nodiscard]] std::string page_title() const;

    // Tab and Shift+Tab follow the page in the order it is read, whenever widgets were made since.
    void fix_tab_order();

    // Which control had the focus, by identity, so that it can have it again when its widget was
    // made afresh.
    struct FocusMemo {
        bool found = false;
        QPointer<QWidget> widget;
        std::string control_id;
        std::vector<std::size_t> path;
        qsizetype segment = -1;
    };
    [[nodiscard]] FocusMemo remember_focus() const;
    // Focuses the remembered control when it is shown and enabled; false when it is not.
    bool restore_focus(const FocusMemo& memo);
    // Whether a widget of the page has the focus.
    [[nodiscard]] bool page_has_focus() const;
    // When the focus sits on a destructive control the user did not put it on (the control that had it
    // went and Qt moved it on), the nearest control that does nothing destructive; else null.
    [[nodiscard]] QWidget* safe_instead_of(const FocusMemo& memo) const;

    // Whether widgets changed since last asked (controls and late cards patch too, not only the host).
    [[nodiscard]] bool take_changes() { return std::exchange(m_changes, false); }

    [[nodiscard]] std::size_t realized() const { return m_realized; }
    [[nodiscard]] bool waiting() const { return !m_waiting.empty(); }
    [[nodiscard]] QWidget* page() const { return m_page; }

    // The working part of one build or reconcile, shared with the kind families (realize/impl.h).
    struct Impl;

  private:
    friend struct Impl;
    void settle_page_stretch();
    Widget& m_root;
    std::function<void()> m_after_input;
    RecordPtr m_top;
    QPointer<QWidget> m_page;
    QBoxLayout* m_page_layout = nullptr;
    bool m_page_stretch = false;  // the page layout ends with a stretch of its own
    std::size_t m_realized = 0;
    bool m_tab_order_dirty = false;
    bool m_changes = false;
    bool m_dispatching = false;
    bool m_destructive_pressed = false;
    std::vector<std::weak_ptr<Realized>> m_waiting;
    QObject m_events;  // owns the keyboard filter
    KeyboardAid* m_keyboard;
};

// The icon code of a back control (Escape presses it).
inline constexpr int kBackIcon = 38;

// The escaped button text ('&' would otherwise be a mnemonic).
[[nodiscard]] QString button_text(const std::string& label);

}  // namespace kora_ui::qt
