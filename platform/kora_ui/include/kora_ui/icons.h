// The toolkit's icons: one table of each icon's code, the glyph that draws it and what a screen reader
// says for it, read by the views (through the widgets) and by the host alike.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "kora_ui/translate.h"

namespace kora_ui {

// The codes are stable: they sign realized widgets and appear in tests' dumps.
enum class Icon : std::uint16_t {
    printer = 5,
    add = 18,
    find = 19,
    preview_missing = 23,
    scan = 28,
    back = 38,
    open = 39,
    history = 60,
    diagnostics = 70,
    refresh = 76,
};

struct IconEntry {
    Icon icon;
    std::string_view glyph;   // the freedesktop symbolic name; the host's built-in set has an SVG of it
    std::string_view spoken;  // the name of a standalone icon (translated where it is said); empty: none
};

inline constexpr std::array<IconEntry, 10> kIcons{{
    {Icon::printer, "printer-symbolic", N_("Printer")},
    {Icon::add, "list-add-symbolic", ""},
    {Icon::find, "edit-find-symbolic", ""},
    {Icon::preview_missing, "image-missing-symbolic", N_("No preview")},
    {Icon::scan, "scanner-symbolic", N_("Scanner")},
    {Icon::back, "go-previous-symbolic", ""},
    {Icon::open, "go-next-symbolic", ""},
    {Icon::history, "document-open-recent-symbolic", N_("History")},
    {Icon::diagnostics, "dialog-information-symbolic", N_("Diagnostics")},
    {Icon::refresh, "view-refresh-symbolic", ""},
}};

// The row of `icon`; null for a code outside the table.
[[nodiscard]] constexpr const IconEntry* icon_entry(Icon icon) {
    for (const auto& entry : kIcons) {
        if (entry.icon == icon) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace kora_ui
