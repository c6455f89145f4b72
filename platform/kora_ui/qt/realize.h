// Turns a kora_ui widget tree into QWidgets. Controls write their cells and call their actions
// directly; every handler checks `alive` first, so a realization outlived by its tree does nothing.
#pragma once

#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "kora_ui/widget.h"

class QBoxLayout;
class QScrollArea;
class QWidget;

namespace kora_ui::qt {

struct RealizeContext {
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
    // Called after a control changed something (the host queues one update then).
    std::function<void()> after_input;
    // Filled with the scrollable areas in tree order (the host restores their positions).
    std::vector<QPointer<QScrollArea>> scroll_areas;
    bool wrap = true;          // whether texts in columns may wrap here
    bool page_level = true;    // no column or card above: a scrollable here is the window's own
    std::size_t realized = 0;  // kora_ui widgets realized, for measurements
};

// One QWidget (created as a child of `parent`) showing `node` and its subtree.
[[nodiscard]] QWidget* realize(Widget& node, QWidget* parent, RealizeContext& context);
// Adds `node` to a box layout of `parent`: spacers become spacing or stretch, flexible containers
// take the free space, and wrappers of unknown type add their children in their place.
void add_to_layout(QBoxLayout& layout, Widget& node, QWidget* parent, RealizeContext& context);
// The escaped button text ('&' would otherwise be a mnemonic).
[[nodiscard]] QString button_text(const std::string& label);

}  // namespace kora_ui::qt
