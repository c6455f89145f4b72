// How nodes sit in their boxes, from their kinds' rows: what takes the free space, which rows stack
// in a narrow window, which parts of a long column wait to be realized.
#pragma once

#include <span>
#include <string>

#include "kora_ui/widget.h"

namespace kora_ui::qt {

constexpr int kRowSpacing = 8;
// Panels side by side are at least this wide, else their row stacks them.
constexpr int kPanelWidth = 260;
constexpr int kPanelSpacing = 12;
// Cards of a grid or long column realized with the page; later ones wait until they are painted.
constexpr std::size_t kEagerCards = 8;
constexpr int kCardPadding = 18;
constexpr int kGridGap = 16;

[[nodiscard]] bool holds_scrollable(const Widget& node, int depth);
[[nodiscard]] bool fills(const Widget& node);
// A wrapper of a type the host does not know (the program's root): its children take its place.
[[nodiscard]] bool is_transparent(const Widget& node);
[[nodiscard]] bool any_fills(const Widget& node);
[[nodiscard]] int stretch_for(const Widget& node);
// A card or the crop editor, bare or inside containers and wrappers.
[[nodiscard]] bool is_panel(const Widget& node);
// A row of nothing but two or more buttons (a tool bar of a card).
[[nodiscard]] bool is_button_row(const Widget& row);
// A row of two or more panels, of a block of text beside a group of controls (a page header), or of
// buttons only, stacks them when the window is too narrow for them side by side.
[[nodiscard]] bool reflows(const Widget& row);
// A card-sized part of a column, worth leaving for later when a long list holds many (never one with
// a scrollable area: its position would be lost while it waits).
[[nodiscard]] bool is_bulky(const Widget& node);
// The text placed last before `nodes[index]` (gaps passed over), which names a segmented control.
[[nodiscard]] std::string caption_before(std::span<const WidgetPtr> nodes, std::size_t index);
// What the node's widget shows of the node itself.
[[nodiscard]] std::string signature_of(const Widget& node);

}  // namespace kora_ui::qt
