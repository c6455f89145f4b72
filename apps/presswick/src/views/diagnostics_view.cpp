// tr("Device help"): connection counts, plain-language advice per printer, and scanning.
#include <algorithm>
#include <cctype>

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

std::string condition_advice(std::string_view reason) {
    std::string lower(reason);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    auto has = [&lower](std::string_view part) {
        return lower.find(part) != std::string::npos;
    };
    if (has("media-empty") || has("out-of-paper")) {
        return tr("Add paper to continue.");
    }
    if (has("jam")) {
        return tr("Clear the paper jam, then resume the printer.");
    }
    if (has("cover-open") || has("door-open")) {
        return tr("Close the printer cover.");
    }
    if (has("toner-low") || has("marker-supply-low")) {
        return tr("A supply is running low; printing can usually continue for now.");
    }
    if (has("toner-empty") || has("marker-supply-empty")) {
        return tr("Replace the empty supply to continue.");
    }
    if (has("offline") || has("not-connected")) {
        return tr("Check that the printer is awake and connected.");
    }
    return tr("The printer reported a condition that may need attention.");
}

namespace {

WidgetPtr printer_help_card(const printing::PrintQueue& printer, const Presswick& state) {
    Column body;
    body.push(body_text(printer_status_text(printer)))
        .push(caption_text(
            printer.answered
                ? tr("The printer answered the latest status check.")
                : tr("Live details are unavailable. The printer may be asleep or disconnected.")));
    for (std::size_t i = 0; i < printer.state_reasons.size() && i < 3; ++i) {
        body.push(Spacer(8)).push(body_text(condition_advice(printer.state_reasons[i])));
    }
    if (printer.supplies) {
        for (std::size_t i = 0; i < printer.supplies->size() && i < 6; ++i) {
            const auto& supply = (*printer.supplies)[i];
            if (supply.level) {
                body.push(Spacer(10))
                    .push(labelled_meter(supply.name, fill(tr("{}% remaining"), *supply.level),
                                         static_cast<float>(*supply.level) / 100.0F));
            }
        }
    }
    body.push(Spacer(12))
        .push(operation_button("presswick.diagnostics.device", tr("Open printer controls"),
                               ShowDevice{printer.name}, state)
                  .with_icon(Icon::open));
    return boxed(Container().with_child(card_about(display_name(printer.name), boxed(std::move(body)))));
}

// With several scanners, each by the name that tells it apart.
WidgetPtr scanners_available(const std::vector<printing::Scanner>& scanners) {
    Column column;
    column.push(body_text(tr("Your scanner is available for a new document.")));
    if (scanners.size() > 1) {
        for (const auto& scanner : scanners) {
            column.push(caption_text(scanner.name));
        }
    }
    return boxed(std::move(column));
}

}  // namespace

WidgetPtr build_diagnostics_view(const DeviceSnapshot& snapshot, const Presswick& state) {
    static const std::vector<printing::PrintQueue> no_printers;
    static const std::vector<printing::Scanner> no_scanners;
    const auto& printers = snapshot.printers ? *snapshot.printers : no_printers;
    const auto& scanners = snapshot.scanners ? *snapshot.scanners : no_scanners;
    const auto responding = std::ranges::count_if(printers, [](const auto& p) { return p.answered; });
    const auto with_supplies = static_cast<std::size_t>(
        std::ranges::count_if(printers, [](const auto& p) { return p.supplies && !p.supplies->empty(); }));

    Column check;
    check
        .push(body_text(
            fill(counted(printers.size(), "{} of {} printer responded", "{} of {} printers responded"),
                 responding, printers.size())))
        .push(Spacer(8))
        .push(body_text(fill(counted(with_supplies, "{} printer reports ink or toner levels",
                                     "{} printers report ink or toner levels"),
                             with_supplies)))
        .push(Spacer(8))
        .push(body_text(fill(counted(scanners.size(), "{} scanner available", "{} scanners available"),
                             scanners.size())));
    if (auto banner = service_problem_banner(failed_sections(snapshot, true, false, true), state)) {
        check.push(Spacer(14)).push(std::move(*banner));
    }

    Column page;
    page.push(page_header(tr("Device help"), tr("Useful checks without printer jargon"), state))
        .push(Spacer(20))
        .push(card_with_action(
            tr("Connection check"),
            operation_button("presswick.diagnostics.refresh", tr("Check again"), Refresh{}, state)
                .with_icon(Icon::refresh),
            boxed(std::move(check))))
        .push(Spacer(16));
    for (const auto& printer : printers) {
        page.push(printer_help_card(printer, state)).push(Spacer(12));
    }
    WidgetPtr scanner_card =
        scanners.empty()
            ? card_with_action(
                  tr("Scanner"),
                  operation_button("presswick.diagnostics.refresh", tr("Check again"), Refresh{}, state)
                      .with_icon(Icon::refresh),
                  boxed(body_text(
                      tr("No scanner was found. Check its cable or network connection, then refresh."))))
            : card_with_action(
                  tr("Scanner"),
                  operation_button("presswick.diagnostics.scan", tr("Start scanning"), OpenScan{}, state)
                      .with_icon(Icon::scan),
                  scanners_available(scanners));
    page.push(Container().with_child(std::move(scanner_card))).push(Spacer(12));
    return frame_page(std::move(page), kNarrowFrame);
}

}  // namespace presswick::views
