// The building blocks every view shares: display helpers, headers, cards, banners,
// operation buttons and the page frame.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "display.h"
#include "kora_ui/translate.h"
#include "kora_ui/widgets.h"
#include "notice.h"
#include "operation.h"
#include "printing/printing.h"
#include "snapshot.h"

namespace presswick::surface {
class Presswick;
}

namespace presswick::views {

using kora_ui::tr;
using kora_ui::trn;

// The form of a counted text for `count`, in the catalogue's plural rule (English: one, or many).
[[nodiscard]] inline const char* counted(std::size_t count, const char* one, const char* many) {
    return trn(one, many, count);
}

// Fills each "{}" of a quoted text in turn (GCC 12 has no <format>).
template <class T>
std::string as_text(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return std::string(std::string_view(value));
    } else {
        return std::to_string(value);
    }
}
template <class... Args>
[[nodiscard]] std::string fill(std::string_view pattern, const Args&... args) {
    const std::string values[] = {std::string(), as_text(args)...};
    std::string out;
    std::size_t next = 1;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}' && next <= sizeof...(Args)) {
            out += values[next++];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

namespace text_size {
// The type scale: each size says what its texts are for.
using kora_ui::Meaning;
inline constexpr kora_ui::TextStyle page_title{28, Meaning::page_title};
inline constexpr kora_ui::TextStyle status_line{21, Meaning::heading};
inline constexpr kora_ui::TextStyle page_position{20, Meaning::heading};
inline constexpr kora_ui::TextStyle section_heading{19, Meaning::heading};
inline constexpr kora_ui::TextStyle card_title{18, Meaning::heading};
inline constexpr kora_ui::TextStyle document_title{17, Meaning::heading};
inline constexpr kora_ui::TextStyle tools_heading{16, Meaning::heading};
inline constexpr kora_ui::TextStyle body{14};
inline constexpr kora_ui::TextStyle caption{13};
}  // namespace text_size

// ---- display helpers ----
[[nodiscard]] std::string printer_status_text(const os_actions::printing::PrintQueue& printer);
// "printers", "documents", "scanners" for the asked sections that failed, in that order.
[[nodiscard]] std::vector<std::string> failed_sections(const DeviceSnapshot& snapshot, bool printers,
                                                       bool documents, bool scanners);
// The smallest reported supply level, or none ("Supply levels unavailable").
[[nodiscard]] std::optional<std::uint8_t> lowest_supply(const os_actions::printing::PrintQueue& printer);
// The supplies at or below the level their printer calls low, in the printer's order.
[[nodiscard]] std::vector<const os_actions::printing::Supply*> low_supplies(
    const os_actions::printing::PrintQueue& printer);
// Paused, out of reach, or low on a supply.
[[nodiscard]] bool needs_attention(const os_actions::printing::PrintQueue& printer);
// "Waiting: {} is paused" for a waiting document whose printer is paused or takes no documents.
[[nodiscard]] std::optional<std::string> waiting_reason(const os_actions::printing::PrintJob& job,
                                                        const DeviceSnapshot& snapshot);
// Page P of T of an active document: T is the total when above 1, else 1; P is done + 1, at most T.
struct PagePosition {
    std::uint32_t page = 1;
    std::uint32_t total = 1;
};
[[nodiscard]] PagePosition active_page_position(const os_actions::printing::PrintJob& job);
// The reported progress as a fraction 0..1 (0 when none is reported).
[[nodiscard]] float progress_fraction(const os_actions::printing::PrintJob& job);

// ---- building blocks ----
[[nodiscard]] kora_ui::Text body_text(std::string text);
[[nodiscard]] kora_ui::Text caption_text(std::string text);
[[nodiscard]] kora_ui::Button operation_button(std::string control_id, std::string label, Operation operation,
                                               const surface::Presswick& state);
[[nodiscard]] kora_ui::Button plain_button(std::string control_id, std::string label);
// A card titled by a heading: its controls are not described by it.
[[nodiscard]] kora_ui::WidgetPtr card(std::string title, kora_ui::WidgetPtr body);
[[nodiscard]] kora_ui::WidgetPtr card_with_action(std::string title, kora_ui::Button header,
                                                  kora_ui::WidgetPtr body);
// A card about one document or printer, titled by its name: its controls are described by that name.
[[nodiscard]] kora_ui::WidgetPtr card_about(std::string title, kora_ui::WidgetPtr body);
[[nodiscard]] kora_ui::WidgetPtr card_with_action_about(std::string title, kora_ui::Button header,
                                                        kora_ui::WidgetPtr body);
[[nodiscard]] kora_ui::WidgetPtr notice_banner(const Notice& notice);
[[nodiscard]] std::optional<kora_ui::WidgetPtr> service_problem_banner(
    const std::vector<std::string>& sections, const surface::Presswick& state);
[[nodiscard]] kora_ui::WidgetPtr page_header(std::string title, std::string subtitle,
                                             const surface::Presswick& state);
[[nodiscard]] kora_ui::WidgetPtr app_header(std::string subtitle);
[[nodiscard]] kora_ui::WidgetPtr labelled_meter(const std::string& label, std::string value_text,
                                                float fraction);
// The lowest-supply caption or meter of the printer cards.
[[nodiscard]] kora_ui::WidgetPtr lowest_supply_part(const os_actions::printing::PrintQueue& printer);
[[nodiscard]] kora_ui::WidgetPtr frame_page(kora_ui::Column page, float max_width);

// Surface-specific helpers kept here so tests can read them directly.
[[nodiscard]] std::string print_document_name(const std::filesystem::path& document);
[[nodiscard]] std::vector<kora_ui::DropdownOption> printer_options(const DeviceSnapshot& snapshot);
[[nodiscard]] std::string condition_advice(std::string_view reason);

inline constexpr float kWideFrame = 1120;
inline constexpr float kNarrowFrame = 920;

}  // namespace presswick::views
