// What a node is realized within, handed down from its parent instead of kept in fields of the
// realizer: each kind makes its children's context from its own.
#pragma once

#include <string>

namespace kora_ui::qt {

struct Context {
    bool wrap = true;        // texts placed in a column here may wrap
    bool wraps_here = true;  // the text made here may wrap (where it is placed decides)
    bool page_level = true;  // no column or card above: a scrollable here is the window's own
    bool announce = false;   // new notices are announced (not those of the first page)
    std::string subject;     // what the enclosing card is about: describes its controls
    std::string caption;     // the text placed just before (names a segmented control)

    // The context of a node's children: `keeps_page_level` for the kinds that leave them at the
    // page's level (rows, containers, wrappers of the program's own).
    [[nodiscard]] Context inside(bool keeps_page_level) const {
        Context inner = *this;
        inner.page_level = page_level && keeps_page_level;
        inner.caption.clear();
        return inner;
    }
};

}  // namespace kora_ui::qt
