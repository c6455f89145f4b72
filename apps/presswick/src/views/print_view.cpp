// The print dialog: the document with its preview, the printing options and the printer.

#include "base/utf8.h"
#include "print_choices.h"
#include "surface/presswick.h"
#include "views/common.h"
#include "views/print_parts.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

// A portrait page printed landscape is shown turned.
int turns_for(const PreviewImage& image, bool landscape) {
    return landscape && image.height > image.width ? 1 : 0;
}

WidgetPtr preview_part(const PrintPreview& preview, const std::string& name, bool landscape) {
    switch (preview.kind) {
        case PrintPreview::Kind::preparing:
            return boxed(
                ProgressBar::indeterminate().with_accessible_label(tr("Preparing document preview")));
        case PrintPreview::Kind::ready:
            return boxed(Image(preview.image.rgba, preview.image.width, preview.image.height)
                             .with_quarter_turns(turns_for(preview.image, landscape))
                             .with_accessible_label(fill(tr("Preview of {}"), name)));
        case PrintPreview::Kind::unavailable:
            break;
    }
    return boxed(Column()
                     .push(IconWidget(Icon::preview_missing, 1.5F, 42))
                     .push(Spacer(10))
                     .push(body_text(tr("Preview unavailable")))
                     .push(caption_text(tr("The original document is unchanged."))));
}

// tr("Page {} of {}") with the buttons that turn the pages; nothing while the page count is unknown.
std::optional<WidgetPtr> page_turner(const PrintPreview& preview, std::uint32_t page,
                                     const Presswick& state) {
    if (preview.kind != PrintPreview::Kind::ready || preview.image.pages == 0) {
        return std::nullopt;
    }
    const auto pages = preview.image.pages;
    auto previous = page > 1 ? operation_button("presswick.print.preview-previous", tr("Previous page"),
                                                TurnPreviewPage{-1}, state)
                             : Button("presswick.print.preview-previous", tr("Previous page"));
    auto next = page < pages ? operation_button("presswick.print.preview-next", tr("Next page"),
                                                TurnPreviewPage{1}, state)
                             : Button("presswick.print.preview-next", tr("Next page"));
    return boxed(
        Column()
            .push(Spacer(10))
            .push(caption_text(fill(tr("Page {} of {}"), std::to_string(page), std::to_string(pages))))
            .push(Spacer(6))
            .push(Row().push(std::move(previous)).push(std::move(next))));
}

WidgetPtr flexible_card(WidgetPtr card_widget) {
    return boxed(Container().with_child(std::move(card_widget)).flexible().min_width(260));
}

}  // namespace

std::string print_document_name(const std::filesystem::path& document) {
    std::string name = document.filename().string();
    // Valid text: the name's bytes must be UTF-8.
    return !name.empty() && base::utf8::is_valid(name) ? name : std::string(tr("Selected document"));
}

std::vector<DropdownOption> printer_options(const DeviceSnapshot& snapshot) {
    std::vector<DropdownOption> options;
    if (snapshot.printers) {
        for (const auto& printer : *snapshot.printers) {
            options.push_back(
                {printer.name,
                 fill(
                     // TRANSLATORS: a printer in the printer list and its state, "Office printer (Ready)".
                     tr("{} ({})"), display_name(printer.name), printer_status_text(printer))});
        }
    }
    return options;
}

WidgetPtr build_print_view(const DeviceSnapshot& snapshot, const std::filesystem::path& document,
                           const PrintPreview& preview, const std::optional<std::string>& printer,
                           const Presswick& state) {
    const auto name = print_document_name(document);
    Column page;
    page.push(page_header(tr("Print a document"), tr("Review the document and choose a printer"), state))
        .push(Spacer(16));
    if (auto banner = service_problem_banner(failed_sections(snapshot, true, false, false), state)) {
        page.push(std::move(*banner)).push(Spacer(12));
    }
    std::optional<printing::PrinterOptions> offered;
    if (state.print_options && printer && state.print_options->queue == *printer) {
        offered = state.print_options->options;
    }
    const bool landscape = offered && !offered->orientations.empty() && state.print_orientation.get() == 1;
    Column document_column;
    document_column.push(preview_part(preview, name, landscape));
    if (auto turner = page_turner(preview, state.preview_page, state)) {
        document_column.push(std::move(*turner));
    }
    document_column.push(Spacer(10))
        .push(body_text(tr("Ready to print")))
        .push(caption_text(tr("The printer will render this document")));
    auto document_card = card_about(name, boxed(std::move(document_column)));
    std::optional<std::string> pages_caption;
    if (offered && offered->page_ranges) {
        const auto pages = preview.kind == PrintPreview::Kind::ready ? preview.image.pages : 0;
        if (auto parsed = parse_page_ranges(state.print_pages.get(), pages); !parsed) {
            pages_caption = parsed.error();
        }
    }
    auto options_card = print_options_card(state, offered, pages_caption);
    auto unchosen = Dropdown(tr("Printer"))
                        .with_id("presswick.print.printer")
                        .with_placeholder(tr("Choose a printer"))
                        .set_value_options(printer_options(snapshot))
                        .on_change([sender = state.operations_tx](const std::string& value) {
                            sender.send(ChoosePrintPrinter{value});
                        });
    Dropdown dropdown =
        printer ? Dropdown(std::move(unchosen).publish_local_state(*printer)) : std::move(unchosen);
    auto printer_card =
        card(tr("Printer"), boxed(Column()
                                      .push(std::move(dropdown))
                                      .push(Spacer(10))
                                      .push(caption_text(tr("Choose where to send this document.")))));
    page.push(Row()
                  .push(flexible_card(std::move(document_card)))
                  .push(flexible_card(std::move(options_card)))
                  .push(flexible_card(std::move(printer_card))))
        .push(Spacer(24))
        .push(Divider())
        .push(Spacer(12));
    Row buttons;
    buttons.push(Spacer::flexible())
        .push(operation_button("presswick.print.cancel", tr("Cancel"), CancelPrint{}, state));
    if (printer) {
        // Waits (shown without an action) while the pages typed do not do.
        auto print = pages_caption
                         ? Button("presswick.print.submit", tr("Print"))
                         : operation_button("presswick.print.submit", tr("Print"), PrintDocument{}, state);
        buttons.push(std::move(print).with_icon(Icon::printer).with_style(ButtonStyle::primary));
    }
    page.push(std::move(buttons));
    return frame_page(std::move(page), kWideFrame);
}

}  // namespace presswick::views
