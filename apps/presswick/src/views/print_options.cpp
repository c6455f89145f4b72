// The print dialog's tr("Printing options") card: copies, both sides, and what the chosen printer offers.

#include "kora_ui/text_input.h"
#include "print_choices.h"
#include "surface/presswick.h"
#include "views/common.h"
#include "views/print_parts.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

Row labelled_row(std::string label, WidgetPtr control) {
    return std::move(
        Row().push(body_text(std::move(label))).push(Spacer::flexible()).push(std::move(control)));
}

// A label above its control, as the scan settings have them (the label names a segmented control).
void push_choice(Column& column, std::string label, WidgetPtr control) {
    column.push(Spacer(18)).push(body_text(std::move(label))).push(Spacer(6)).push(std::move(control));
}

// A dropdown that writes the chosen value into `cell`.
Dropdown cell_dropdown(std::string label, std::string id, std::vector<DropdownOption> options,
                       const LocalState<std::string>& cell) {
    return Dropdown(std::move(label))
        .with_id(std::move(id))
        .set_value_options(std::move(options))
        .publish_local_state(cell.get())
        .on_change([cell](const std::string& value) { (void)cell.write_from_control(value); });
}

}  // namespace

WidgetPtr print_options_card(const Presswick& state, const std::optional<printing::PrinterOptions>& offered,
                             const std::optional<std::string>& pages_caption) {
    const bool one_sided = offered && !offered->two_sided;
    Column column;
    column
        .push(labelled_row(tr("Copies"), boxed(NumberInput::from_state(state.copies)
                                                   .with_range(1, 99)
                                                   .with_id("presswick.print.copies")
                                                   .with_accessible_label(tr("Number of copies")))))
        .push(Spacer(18))
        .push(labelled_row(tr("Print on both sides"),
                           boxed(Toggle::from_state(state.two_sided)
                                     .with_accessible_label(tr("Print on both sides"))
                                     .with_enabled(!one_sided))));
    if (one_sided) {
        column.push(caption_text(tr("This printer prints on one side only")));
    }
    if (!offered) {
        return card(tr("Printing options"), boxed(std::move(column)));
    }
    if (offered->page_ranges) {
        push_choice(column, tr("Pages"),
                    boxed(TextInput::from_state(state.print_pages)
                              .with_id("presswick.print.pages")
                              .with_accessible_label(tr("Pages to print"))
                              .with_placeholder(tr("All pages"))));
        if (pages_caption) {
            column.push(caption_text(*pages_caption));
        }
    }
    if (!offered->papers.empty()) {
        std::vector<DropdownOption> papers;
        for (const auto& paper : offered->papers) {
            papers.push_back({paper.keyword, paper.name});
        }
        push_choice(
            column, tr("Paper"),
            boxed(cell_dropdown(tr("Paper"), "presswick.print.paper", std::move(papers), state.print_paper)));
    }
    if (!offered->orientations.empty()) {
        push_choice(column, tr("Orientation"),
                    boxed(ToggleGroup("presswick.print.orientation", "presswick.print.orientation.select",
                                      {tr("Portrait"), tr("Landscape")}, state.print_orientation)));
    }
    if (!offered->color_modes.empty()) {
        push_choice(column, tr("Color"),
                    boxed(ToggleGroup("presswick.print.color", "presswick.print.color.select",
                                      {tr("Color"), tr("Black and white")}, state.print_colour)));
    }
    if (!offered->qualities.empty()) {
        std::vector<std::string> labels;
        for (const auto quality : offered->qualities) {
            labels.push_back(quality_label(quality));
        }
        push_choice(column, tr("Quality"),
                    boxed(ToggleGroup("presswick.print.quality", "presswick.print.quality.select",
                                      std::move(labels), state.print_quality)));
    }
    if (!offered->pages_per_sheet.empty()) {
        std::vector<DropdownOption> counts;
        for (const auto up : offered->pages_per_sheet) {
            counts.push_back({std::to_string(up), std::to_string(up)});
        }
        push_choice(column, tr("Pages per sheet"),
                    boxed(cell_dropdown(tr("Pages per sheet"), "presswick.print.per-sheet", std::move(counts),
                                        state.print_per_sheet)));
    }
    if (offered->collate && state.copies.get() >= 1.5) {  // more than one copy, as printed
        column.push(Spacer(18))
            .push(labelled_row(
                tr("Collate copies"),
                boxed(Toggle::from_state(state.print_collate).with_accessible_label(tr("Collate copies")))));
    }
    return card(tr("Printing options"), boxed(std::move(column)));
}

}  // namespace presswick::views
