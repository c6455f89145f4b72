// One printer: status, role, supply levels and controls.

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

WidgetPtr supplies_body(const printing::PrintQueue& printer) {
    if (!printer.supplies || printer.supplies->empty()) {
        return boxed(body_text(tr("This printer does not report supply levels.")));
    }
    Column meters;
    for (const auto& supply : *printer.supplies) {
        const auto level = supply.level.value_or(0);
        meters.push(labelled_meter(supply.name, fill(tr("{}% remaining"), level),
                                   static_cast<float>(level) / 100.0F));
        if (supply.is_low()) {
            meters.push(caption_text(fill(tr("{} is low"), supply.name)));
        }
        meters.push(Spacer(10));
    }
    return boxed(std::move(meters));
}

Row controls(const printing::PrintQueue& printer, const Presswick& state) {
    const bool pause = offers_pause(printer);
    Row row;
    row.push(operation_button("presswick.device.enabled", pause ? tr("Pause printer") : tr("Resume printer"),
                              SetPrinterEnabled{printer.name, !pause}, state));
    if (!printer.is_default) {
        row.push(operation_button("presswick.device.default", tr("Make preferred"),
                                  SetPreferredPrinter{printer.name}, state));
    }
    row.push(operation_button("presswick.device.queue", tr("View print queue"), ShowQueue{}, state))
        .push(
            operation_button("presswick.device.diagnostics", tr("Check printer"), ShowDiagnostics{}, state));
    return row;
}

}  // namespace

WidgetPtr build_device_view(const printing::PrintQueue& printer, const Presswick& state) {
    Column page;
    page.push(page_header(display_name(printer.name), tr("Status, supplies, and controls"), state))
        .push(Spacer(20))
        .push(Card(Row()
                       .push(IconWidget(Icon::printer, 1.5F, 52))
                       .push(Column()
                                 .push(Text(printer_status_text(printer), text_size::status_line))
                                 .push(caption_text(printer.is_default ? tr("Preferred printer")
                                                                       : tr("Available to your apps"))))))
        .push(Spacer(16))
        .push(card(tr("Ink and toner"), supplies_body(printer)))
        .push(Spacer(16))
        .push(card(tr("Printer controls"), boxed(controls(printer, state))));
    return frame_page(std::move(page), kNarrowFrame);
}

}  // namespace presswick::views
