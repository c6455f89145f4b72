// tr("Add a printer"): the search for driverless printers and the printers found.

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

WidgetPtr retry_card(std::string title, std::string line, std::string label, const Presswick& state) {
    return card(
        std::move(title),
        boxed(Column()
                  .push(body_text(std::move(line)))
                  .push(Spacer(12))
                  .push(operation_button("presswick.discover.retry", std::move(label), FindPrinters{}, state)
                            .with_icon(Icon::refresh))));
}

WidgetPtr found_card(const printing::DriverlessPrinter& printer, const Presswick& state) {
    auto add = operation_button(fill("presswick.discover.add.{}", printer.name), tr("Add"),
                                AddPrinter{printer}, state)
                   .with_icon(Icon::add)
                   .with_style(ButtonStyle::primary);
    return card_with_action_about(
        printer.name, std::move(add),
        boxed(Row()
                  .push(IconWidget(Icon::printer, 1.5F, 34))
                  .push(Column()
                            .push(body_text(tr("Ready to add")))
                            .push(caption_text(printer.location.value_or(std::string(tr("Nearby"))))))));
}

}  // namespace

WidgetPtr build_discovery_view(const std::optional<DiscoveryResult>& result, const Presswick& state) {
    Column page;
    page.push(page_header(tr("Add a printer"), tr("Nearby printers appear automatically"), state))
        .push(Spacer(20));
    if (!result) {
        page.push(card(tr("Looking nearby"), boxed(ProgressBar::indeterminate().with_accessible_label(
                                                 tr("Finding nearby printers")))));
    } else if (!*result) {
        page.push(retry_card(tr("Could not search right now"),
                             tr("Check your network connection and try again."), tr("Try again"), state));
    } else if ((*result)->empty()) {
        page.push(retry_card(
            tr("No printers found"),
            tr("Make sure the printer is awake and connected to the same network, then search again."),
            tr("Search again"), state));
    } else {
        for (const auto& printer : **result) {
            page.push(found_card(printer, state)).push(Spacer(12));
        }
    }
    return frame_page(std::move(page), kWideFrame);
}

}  // namespace presswick::views
