// The home surface: summary line, current document, printer cards, scanner and ways onward.

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

bool is_active(const printing::PrintJob& job) {
    return job.state.value_or(printing::JobState::unknown) <= printing::JobState::needs_attention;
}

std::vector<const printing::PrintJob*> active_documents(const DeviceSnapshot& snapshot) {
    std::vector<const printing::PrintJob*> active;
    if (snapshot.jobs) {
        for (const auto& job : *snapshot.jobs) {
            if (is_active(job)) {
                active.push_back(&job);
            }
        }
    }
    return active;
}

// What is wrong with the printers, first that applies; nothing when all is well.
std::optional<std::string> printers_line(const DeviceSnapshot& snapshot) {
    if (!snapshot.printers) {
        return std::nullopt;
    }
    std::vector<const printing::PrintQueue*> attention;
    for (const auto& printer : *snapshot.printers) {
        if (needs_attention(printer)) {
            attention.push_back(&printer);
        }
    }
    if (attention.size() >= 2) {
        return fill(trn("{} printer needs attention", "{} printers need attention", attention.size()),
                    attention.size());
    }
    if (attention.empty()) {
        return std::nullopt;
    }
    const auto& printer = *attention.front();
    const auto name = display_name(printer.name);
    if (printer.state == printing::QueueState::paused) {
        return fill(tr("{} is paused"), name);
    }
    if (printer.state == printing::QueueState::unreachable) {
        return fill(tr("{} can't be reached"), name);
    }
    return fill(tr("{} is low on {}"), name, low_supplies(printer).front()->name);
}

std::string summary_line(const DeviceSnapshot& snapshot, bool any_failure, std::size_t active) {
    if (any_failure) {
        return tr("Some information needs refreshing");
    }
    if (active == 1) {
        return tr("One document is active");
    }
    if (active >= 2) {
        return fill(trn("{} document is active", "{} documents are active", active), active);
    }
    if (auto line = printers_line(snapshot)) {
        return *line;
    }
    return tr("Everything is ready");
}

// A card named by its heading; its controls are about `subject` (a document), when it has one.
WidgetPtr panel(std::string title, WidgetPtr body, WidgetPtr action, std::string subject = {}) {
    std::string name = title;
    return boxed(said_card(
        DashboardCard(Container().with_child(Column()
                                                 .push(Text(std::move(title), text_size::card_title))
                                                 .push(Spacer(14))
                                                 .push(std::move(body))
                                                 .push(Spacer(16))
                                                 .push(std::move(action)))),
        std::move(name), std::move(subject)));
}

std::string current_title(const printing::PrintJob& job) {
    switch (job.state.value_or(printing::JobState::unknown)) {
        case printing::JobState::needs_attention:
            return tr("Needs attention");
        case printing::JobState::waiting:
            return tr("Waiting to print");
        default:
            return tr("Printing now");
    }
}

WidgetPtr current_document_panel(const printing::PrintJob& job, const DeviceSnapshot& snapshot,
                                 const Presswick& state) {
    const auto position = active_page_position(job);
    Column details;
    details.push(Text(document_title(job), text_size::document_title))
        .push(caption_text(fill(tr("Sent to {}"), display_name(job.queue))));
    if (auto waiting = waiting_reason(job, snapshot)) {
        details.push(caption_text(std::move(*waiting)));
    }
    details.push(Spacer(12))
        .push(ProgressBar(progress_fraction(job)).with_accessible_label(tr("Current document progress")));
    auto body = boxed(Row()
                          .push(PagePreview(tr("Current document"), position.page, position.total))
                          .push(Container().with_child(std::move(details)).flexible()));
    auto action =
        boxed(Column()
                  .push(operation_button("presswick.queue", tr("Open queue"), ShowQueue{}, state))
                  .push(Spacer(10))
                  .push(operation_button("presswick.job.cancel", tr("Cancel"), SelectJob{job.id}, state)));
    return panel(current_title(job), std::move(body), std::move(action), document_title(job));
}

WidgetPtr printer_card(const printing::PrintQueue& printer, const Presswick& state) {
    auto details =
        Column()
            .push(body_text(printer_status_text(printer)))
            .push(Spacer(10))
            .push(lowest_supply_part(printer))
            .push(Spacer(8))
            .push(caption_text(printer.is_default ? tr("Preferred printer") : tr("Available to your apps")));
    auto column = Column()
                      .push(Text(display_name(printer.name), text_size::card_title))
                      .push(Spacer(14))
                      .push(Row()
                                .push(IconWidget(Icon::printer, 1.5F, 34))
                                .push(Container().with_child(std::move(details)).flexible()))
                      .push(Spacer(16))
                      .push(operation_button(fill("presswick.device.open.{}", printer.name), tr("Open"),
                                             ShowDevice{printer.name}, state)
                                .with_icon(Icon::open));
    const auto name = display_name(printer.name);
    return boxed(said_card(DashboardCard(Container().with_child(std::move(column))), name, name));
}

}  // namespace

WidgetPtr build_dashboard_view(const DeviceSnapshot& snapshot, const Presswick& state,
                               const std::optional<Notice>& notice) {
    const auto active = active_documents(snapshot);
    const bool any_failure = !snapshot.printers || !snapshot.jobs || !snapshot.scanners;

    Column page;
    page.push(Column()
                  .push(Text("Presswick", text_size::page_title))
                  .push(caption_text(summary_line(snapshot, any_failure, active.size()))))
        .push(Spacer(14))
        .push(Row()
                  .push(operation_button("presswick.add", tr("Add printer"), FindPrinters{}, state)
                            .with_icon(Icon::add))
                  .push(operation_button("presswick.print", tr("Print a document"), ChooseDocument{}, state)
                            .with_icon(Icon::printer)
                            .with_style(ButtonStyle::primary)))
        .push(Spacer(20));
    if (notice) {
        page.push(notice_banner(*notice)).push(Spacer(14));
    }
    if (auto banner = service_problem_banner(failed_sections(snapshot, true, true, true), state)) {
        page.push(std::move(*banner)).push(Spacer(14));
    }
    if (!active.empty()) {
        page.push(current_document_panel(*active.front(), snapshot, state)).push(Spacer(28));
    }
    if (snapshot.printers) {
        page.push(Column()
                      .push(Text(tr("Your printers"), text_size::section_heading))
                      .push(Spacer(8))
                      .push(operation_button("presswick.refresh", tr("Refresh"), Refresh{}, state)
                                .with_icon(Icon::refresh)))
            .push(Spacer(10));
        if (snapshot.printers->empty()) {
            page.push(card_with_action(
                tr("No printers added"),
                operation_button("presswick.discover.empty", tr("Find a printer"), FindPrinters{}, state)
                    .with_icon(Icon::find),
                boxed(body_text(
                    tr("You can still scan documents below. Add a printer whenever you need one.")))));
        } else {
            Column cards;
            for (const auto& printer : *snapshot.printers) {
                cards.push(printer_card(printer, state)).push(Spacer(14));
            }
            page.push(std::move(cards));
        }
    }
    if (snapshot.scanners && !snapshot.scanners->empty()) {
        page.push(Spacer(18))
            .push(panel(tr("Scan a document"),
                        boxed(Row()
                                  .push(IconWidget(Icon::scan, 1.5F, 30))
                                  .push(body_text(fill(tr("{} is ready"), snapshot.scanners->front().name)))),
                        boxed(operation_button("presswick.scan.open", tr("Start scanning"), OpenScan{}, state)
                                  .with_icon(Icon::scan))));
    }
    Column closing;
    if (snapshot.jobs) {
        const bool any_printed = std::ranges::any_of(
            *snapshot.jobs, [](const auto& job) { return job.state == printing::JobState::printed; });
        closing
            .push(panel(tr("Recent documents"),
                        boxed(body_text(
                            any_printed ? tr("Review what printed and quickly print a retained job again.")
                                        : tr("Completed documents will appear here."))),
                        boxed(operation_button("presswick.history.open", tr("See all"), ShowHistory{}, state)
                                  .with_icon(Icon::history))))
            .push(Spacer(14));
    }
    closing.push(panel(
        tr("Device help"),
        boxed(body_text(tr("Plain-language checks for connections, paper, supplies, and scanners."))),
        boxed(operation_button("presswick.diagnostics.open", tr("Check devices"), ShowDiagnostics{}, state)
                  .with_icon(Icon::diagnostics))));
    page.push(Spacer(18)).push(std::move(closing));
    return frame_page(std::move(page), kWideFrame);
}

}  // namespace presswick::views
