// The scan setup page (tr("Scan a document")) and the result page (tr("Scanned document")).
#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "kora_ui/widgets.h"
#include "scan/scanned_page.h"
#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace {

using kora_ui::Column;
using kora_ui::Row;
using kora_ui::Spacer;
using kora_ui::Text;
using kora_ui::WidgetPtr;

constexpr std::size_t kTextPreviewBytes = 320;

bool is_blank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

// The first 320 characters, cut on a character boundary of the UTF-8 text.
std::string text_preview(const std::string& text) {
    return text.substr(0, base::utf8::prefix_of_characters(text, kTextPreviewBytes));
}

struct PageSetting {
    const char* label;
    const char* control_id;
    const char* select_action_id;
    std::vector<std::string> options;
    const kora_ui::LocalState<std::size_t>& selected;
    std::vector<bool> disabled = {};
    std::vector<std::string> captions = {};
};

const printing::Scanner* chosen_scanner(const DeviceSnapshot& snapshot, const Presswick& state) {
    if (!snapshot.scanners || !state.scan_scanner) {
        return nullptr;
    }
    const auto found = std::ranges::find(*snapshot.scanners, *state.scan_scanner, &printing::Scanner::id);
    return found == snapshot.scanners->end() ? nullptr : &*found;
}

void push_header(Column& page, std::string title, std::string subtitle, const Presswick& state) {
    page.push(page_header(std::move(title), std::move(subtitle), state)).push(Spacer(20));
    if (state.notice) {
        page.push(notice_banner(*state.notice)).push(Spacer(14));
    }
}

WidgetPtr scanner_choice(const DeviceSnapshot& snapshot, const Presswick& state) {
    Column column;
    if (!snapshot.scanners) {
        if (auto banner = service_problem_banner({"scanners"}, state)) {
            column.push(std::move(*banner));
        }
        return kora_ui::boxed(std::move(column));
    }
    for (const auto& scanner : *snapshot.scanners) {
        const bool chosen = state.scan_scanner == scanner.id;
        column.push(said(operation_button("presswick.scan.device",
                                          chosen ? fill(tr("Selected: {}"), scanner.name) : scanner.name,
                                          ChooseScanner{scanner.id}, state),
                         chosen ? kora_ui::Meaning::selected : kora_ui::Meaning::none));
    }
    if (snapshot.scanners->empty()) {
        column.push(body_text(
            tr("No scanner is available. Check its cable or network connection, then refresh Presswick.")));
    }
    return kora_ui::boxed(std::move(column));
}

WidgetPtr page_settings(const DeviceSnapshot& snapshot, const Presswick& state) {
    // Only the sources the chosen scanner has can be chosen; the others say why not.
    const auto* scanner = chosen_scanner(snapshot, state);
    const bool feeder = !scanner || scanner->has_feeder;
    const bool two_sided = !scanner || scanner->has_two_sided;
    std::vector<std::string> source_captions;
    if (!feeder) {
        source_captions.emplace_back(tr("This scanner has no document feeder"));
    }
    if (!two_sided) {
        source_captions.emplace_back(tr("This scanner cannot scan both sides"));
    }
    const PageSetting settings[] = {
        {tr("Quality"),
         "presswick.scan.resolution",
         "presswick.scan.resolution.select",
         {tr("150 dpi"), tr("300 dpi"), tr("600 dpi")},
         state.scan_resolution},
        {tr("Appearance"),
         "presswick.scan.color",
         "presswick.scan.color.select",
         {tr("Color"), tr("Grayscale"), tr("Text")},
         state.scan_colour},
        {tr("Paper source"),
         "presswick.scan.source",
         "presswick.scan.source.select",
         {tr("Flatbed"), tr("Feeder"), tr("Two-sided")},
         state.scan_source,
         {false, !feeder, !two_sided},
         std::move(source_captions)},
        {tr("Text language"),
         "presswick.scan.language",
         "presswick.scan.language.select",
         {},
         state.scan_language},
    };
    Column column;
    bool first = true;
    for (const auto& setting : settings) {
        auto options = setting.options;
        if (options.empty()) {
            for (const auto& language : RecognitionLanguage::all()) {
                options.emplace_back(language.label);
            }
        }
        if (!first) {
            column.push(Spacer(14));
        }
        first = false;
        column.push(body_text(setting.label))
            .push(Spacer(6))
            .push(kora_ui::ToggleGroup(setting.control_id, setting.select_action_id, std::move(options),
                                       setting.selected)
                      .with_disabled(setting.disabled));
        for (const auto& caption : setting.captions) {
            column.push(caption_text(caption));
        }
    }
    return kora_ui::boxed(std::move(column));
}

// "Scanning page…" for one page; a feeder scan counts the page coming in.
std::string scanning_text(const Presswick& state) {
    return state.scan_from_feeder ? fill(tr("Scanning page {}…"), state.scan_received + 1)
                                  : std::string(tr("Scanning page…"));
}

WidgetPtr setup_page(const DeviceSnapshot& snapshot, const Presswick& state) {
    Column page;
    push_header(page, tr("Scan a document"), tr("Choose the scanner and how this page should look"), state);
    const std::string summary =
        state.pages.empty() ? std::string(tr("No pages captured yet"))
                            : fill(counted(state.pages.size(), "{} page captured — new scans will be added",
                                           "{} pages captured — new scans will be added"),
                                   state.pages.size());
    // Whatever happens to the scanner, the pages captured so far stay one press away.
    Column document;
    document.push(body_text(summary));
    if (!state.pages.empty()) {
        document.push(Spacer(10))
            .push(operation_button("presswick.scan.pages", tr("Back to the pages"), ShowPages{}, state));
    }
    page.push(card(tr("Current document"), kora_ui::boxed(std::move(document))))
        .push(Spacer(16))
        .push(card(tr("Scanner"), scanner_choice(snapshot, state)))
        .push(Spacer(16))
        .push(card(tr("Page settings"), page_settings(snapshot, state)))
        .push(Spacer(16));
    Row actions;
    // Cancel leaves the settings, not unsaved pages: those are shown again.
    actions.push(state.has_unsaved_pages()
                     ? operation_button("presswick.scan.cancel", tr("Cancel"), ShowPages{}, state)
                     : operation_button("presswick.scan.cancel", tr("Cancel"), CloseScan{}, state));
    if (state.scanning) {
        actions.push(body_text(scanning_text(state)));
    } else if (state.scan_scanner) {
        actions.push(said(operation_button("presswick.scan.start", tr("Scan page"), ScanPage{}, state),
                          kora_ui::Meaning::main));
    }
    page.push(std::move(actions));
    return kora_ui::boxed(std::move(page));
}

WidgetPtr page_column(const ScannedPage& current, std::uint64_t position, std::size_t count,
                      const Presswick& state) {
    Column column;
    column.push(Text(fill(tr("Page {} of {}"), position, count), text_size::page_position))
        .push(Spacer(6))
        .push(caption_text(current.width > current.height ? tr("Landscape page") : tr("Portrait page")))
        .push(caption_text(fill(tr("Reading text as {}"), tr(current.language.c_str()))))
        .push(Spacer(14))
        .push(body_text(current.status));
    const bool has_text = current.text && !is_blank(*current.text);
    if (current.text) {
        std::string preview = text_preview(*current.text);
        if (!is_blank(preview)) {
            column.push(Spacer(12))
                .push(card(tr("Recognized text"), kora_ui::boxed(body_text(std::move(preview)))));
        }
    }
    Row tools;
    tools.push(operation_button("presswick.scan.rotate-left", tr("Rotate left"), RotatePage{true}, state))
        .push(operation_button("presswick.scan.rotate", tr("Rotate right"), RotatePage{}, state))
        .push(operation_button("presswick.scan.apply-crop", tr("Apply crop"), CropPage{}, state));
    if (current.recognizing) {
        tools.push(caption_text(tr("Updating recognized text…")));
    } else if (current.text_stale) {
        tools.push(operation_button("presswick.scan.recognize", tr("Update recognized text"), RecognizePage{},
                                    state));
    }
    if (has_text) {
        tools.push(
            operation_button("presswick.scan.copy-text", tr("Copy recognized text"), CopyText{}, state));
    }
    column.push(Spacer(16))
        .push(Text(tr("Page tools"), text_size::tools_heading))
        .push(Spacer(8))
        .push(std::move(tools));
    return kora_ui::boxed(std::move(column));
}

WidgetPtr navigation_row(bool first, bool last, const Presswick& state) {
    Row row;
    if (!first) {
        row.push(operation_button("presswick.scan.previous", tr("Previous page"), PreviousPage{}, state));
    }
    if (!last) {
        row.push(operation_button("presswick.scan.next", tr("Next page"), NextPage{}, state));
    }
    if (!first) {
        row.push(said(operation_button("presswick.scan.move-earlier", tr("Move before previous page"),
                                       MovePageEarlier{}, state),
                      kora_ui::Meaning::destructive));
    }
    if (!last) {
        row.push(said(
            operation_button("presswick.scan.move-later", tr("Move after next page"), MovePageLater{}, state),
            kora_ui::Meaning::destructive));
    }
    row.push(said(operation_button("presswick.scan.delete-page", tr("Remove this page"), DeletePage{}, state),
                  kora_ui::Meaning::destructive));
    return kora_ui::boxed(std::move(row));
}

WidgetPtr result_page(const ScannedPage& current, const Presswick& state) {
    const std::size_t count = state.pages.size();
    const std::uint64_t position = state.current_index + 1;
    const bool first = state.current_index == 0;
    const bool last = position >= count;

    Column page;
    push_header(page, tr("Scanned document"), tr("Review the page before saving it"), state);
    Row document;
    document
        .push(operation_button("presswick.scan.save-document", tr("Save document"), SaveDocument{}, state))
        .push(operation_button("presswick.scan.print", tr("Print…"), PrintScannedDocument{}, state))
        .push(operation_button("presswick.scan.again", tr("Scan another page"), ScanAnother{}, state));
    if (state.print_copy_making) {
        document.push(caption_text(tr("Preparing the document for printing…")));
    }
    if (state.scanning) {
        // The rest of the feeder comes in behind the page shown.
        document.push(caption_text(scanning_text(state)));
        if (state.scan_from_feeder) {
            document.push(operation_button("presswick.scan.stop", tr("Stop scanning"), StopScan{}, state));
        }
    }
    page.push(std::move(document))
        .push(Spacer(16))
        .push(Row()
                  .push(kora_ui::Container().flexible().with_child(
                      said(kora_ui::ImageCropEditor(current.pixels, current.width, current.height,
                                                    state.crop_selection),
                           kora_ui::Meaning::main)))
                  .push(kora_ui::Card(page_column(current, position, count, state))))
        .push(Spacer(12));
    Column pages_body;
    pages_body
        .push(body_text(
            fill(counted(count, "Page {} selected · {} page total", "Page {} selected · {} pages total"),
                 position, count)))
        .push(Spacer(10))
        .push(navigation_row(first, last, state));
    page.push(card(tr("Pages in this document"), kora_ui::boxed(std::move(pages_body))))
        .push(Spacer(12))
        .push(
            Row()
                .push(operation_button("presswick.scan.save-page", tr("Export this page"), SavePage{}, state))
                .push(operation_button("presswick.scan.done", tr("Back to Presswick"), CloseScan{}, state)));
    return kora_ui::boxed(std::move(page));
}

}  // namespace

WidgetPtr build_scan_view(const DeviceSnapshot& snapshot, const Presswick& state) {
    WidgetPtr page =
        state.current_page ? result_page(*state.current_page, state) : setup_page(snapshot, state);
    return kora_ui::boxed(kora_ui::Scrollable().with_child(std::move(page)));
}

}  // namespace presswick::views
