#include "views/common.h"

#include <algorithm>

#include "surface/presswick.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

std::string printer_status_text(const printing::PrintQueue& printer) {
    switch (printer.state) {
        case printing::QueueState::printing:
            return tr("Printing");
        case printing::QueueState::paused:
            return tr("Paused");
        case printing::QueueState::unreachable:
            return tr("Cannot reach this printer");
        default:
            return printer.accepting ? tr("Ready") : tr("Not accepting new documents");
    }
}

std::vector<std::string> failed_sections(const DeviceSnapshot& snapshot, bool printers, bool documents,
                                         bool scanners) {
    std::vector<std::string> failed;
    if (printers && !snapshot.printers) {
        failed.emplace_back("printers");
    }
    if (documents && !snapshot.jobs) {
        failed.emplace_back("documents");
    }
    if (scanners && !snapshot.scanners) {
        failed.emplace_back("scanners");
    }
    return failed;
}

std::optional<std::uint8_t> lowest_supply(const printing::PrintQueue& printer) {
    if (!printer.supplies) {
        return std::nullopt;
    }
    std::optional<std::uint8_t> lowest;
    for (const auto& supply : *printer.supplies) {
        if (supply.level && (!lowest || *supply.level < *lowest)) {
            lowest = supply.level;
        }
    }
    return lowest;
}

PagePosition active_page_position(const printing::PrintJob& job) {
    PagePosition position;
    position.total = job.pages_total && *job.pages_total > 1 ? *job.pages_total : 1;
    position.page = job.pages_done ? std::min(*job.pages_done + 1, position.total) : 1;
    return position;
}

float progress_fraction(const printing::PrintJob& job) {
    const auto percent = job.progress_percent();
    return percent ? static_cast<float>(*percent) / 100.0F : 0.0F;
}

Text body_text(std::string text) {
    return Text(std::move(text), text_size::body);
}
Text caption_text(std::string text) {
    return Text(std::move(text), text_size::caption);
}

Button operation_button(std::string control_id, std::string label, Operation operation,
                        const surface::Presswick& state) {
    return Button(std::move(control_id), std::move(label))
        .on_action(
            [sender = state.operations_tx, operation = std::move(operation)] { sender.send(operation); });
}

Button plain_button(std::string control_id, std::string label) {
    return Button(std::move(control_id), std::move(label))
        .on_action(InvokeControlId{})
        .with_style(ButtonStyle::plain);
}

WidgetPtr card(std::string title, WidgetPtr body) {
    std::string name = title;
    return boxed(said_card(widget::card::surface(std::move(title), std::nullopt, std::move(body)),
                           std::move(name), {}));
}

WidgetPtr card_with_action(std::string title, Button header, WidgetPtr body) {
    std::string name = title;
    return boxed(said_card(widget::card::surface(std::move(title), std::move(header), std::move(body)),
                           std::move(name), {}));
}

WidgetPtr card_about(std::string title, WidgetPtr body) {
    std::string name = title;
    return boxed(
        said_card(widget::card::surface(std::move(title), std::nullopt, std::move(body)), name, name));
}

WidgetPtr card_with_action_about(std::string title, Button header, WidgetPtr body) {
    std::string name = title;
    return boxed(
        said_card(widget::card::surface(std::move(title), std::move(header), std::move(body)), name, name));
}

WidgetPtr notice_banner(const Notice& notice) {
    return boxed(Banner(notice.positive ? BannerStyle::confirmation : BannerStyle::failure, notice.title,
                        notice.detail));
}

std::optional<WidgetPtr> service_problem_banner(const std::vector<std::string>& sections,
                                                const surface::Presswick& state) {
    if (sections.empty()) {
        return std::nullopt;
    }
    const bool printers = std::ranges::find(sections, "printers") != sections.end();
    const bool documents = std::ranges::find(sections, "documents") != sections.end();
    const bool scanners = std::ranges::find(sections, "scanners") != sections.end();
    std::string title = tr("Some device information couldn't be checked");
    if (sections.size() == 1) {
        title = printers    ? tr("Printers couldn't be checked")
                : documents ? tr("Print jobs couldn't be checked")
                            : tr("Scanners couldn't be checked");
    }
    // Whole sentences for each set of sections that failed, so each reads naturally once translated.
    const char* sentence =
        printers && documents && scanners
            ? N_("Presswick couldn't get printers or documents or scanners right now. Your saved devices and "
                 "documents have not been removed.")
        : printers && documents
            ? N_("Presswick couldn't get printers or documents right now. Your saved devices and documents "
                 "have not been removed.")
        : printers && scanners
            ? N_("Presswick couldn't get printers or scanners right now. Your saved devices and documents "
                 "have not been removed.")
        : documents && scanners
            ? N_("Presswick couldn't get documents or scanners right now. Your saved devices and documents "
                 "have not been removed.")
        : printers
            ? N_("Presswick couldn't get printers right now. Your saved devices and documents have not "
                 "been removed.")
        : documents
            ? N_("Presswick couldn't get documents right now. Your saved devices and documents have "
                 "not been removed.")
            : N_("Presswick couldn't get scanners right now. Your saved devices and documents have not "
                 "been removed.");
    auto retry = operation_button("presswick.service.retry", tr("Try again"), Refresh{}, state)
                     .with_icon(Icon::refresh);
    auto body = boxed(body_text(tr(sentence)));
    std::string name = title;
    return boxed(said_card(widget::card::surface(std::move(title), std::move(retry), std::move(body))
                               .with_tone(BannerStyle::caution),
                           std::move(name), {}));
}

WidgetPtr page_header(std::string title, std::string subtitle, const surface::Presswick& state) {
    return boxed(Column()
                     .push(said(operation_button("presswick.back", "Presswick", CloseScan{}, state)
                                    .with_icon(Icon::back)
                                    .with_style(ButtonStyle::subtle),
                                Meaning::back))
                     .push(Spacer(14))
                     .push(Text(std::move(title), text_size::page_title))
                     .push(caption_text(std::move(subtitle))));
}

WidgetPtr app_header(std::string subtitle) {
    return boxed(Row()
                     .push(Column()
                               .push(Text("Presswick", text_size::page_title))
                               .push(caption_text(std::move(subtitle))))
                     .push(Spacer::flexible())
                     .push(Row()
                               .push(plain_button("presswick.add", tr("Add printer")))
                               .push(plain_button("presswick.print", tr("Print a document")))));
}

WidgetPtr labelled_meter(const std::string& label, std::string value_text, float fraction) {
    return boxed(Column()
                     .push(body_text(fill(
                         // TRANSLATORS: a supply meter's label and its value, "Lowest supply: 40% remaining".
                         tr("{}: {}"), label, value_text)))
                     .push(Spacer(6))
                     .push(ProgressBar(fraction).with_accessible_label(fill(tr("{} level"), label))));
}

WidgetPtr lowest_supply_part(const printing::PrintQueue& printer) {
    const auto lowest = lowest_supply(printer);
    if (!lowest) {
        return boxed(caption_text(tr("Supply levels unavailable")));
    }
    auto meter = labelled_meter(tr("Lowest supply"), fill(tr("{}% remaining"), *lowest),
                                static_cast<float>(*lowest) / 100.0F);
    const auto low = low_supplies(printer);
    if (low.empty()) {
        return meter;
    }
    Column part;
    part.push(std::move(meter));
    for (const auto* supply : low) {
        part.push(caption_text(fill(tr("{} is low"), supply->name)));
    }
    return boxed(std::move(part));
}

std::vector<const printing::Supply*> low_supplies(const printing::PrintQueue& printer) {
    std::vector<const printing::Supply*> low;
    if (printer.supplies) {
        for (const auto& supply : *printer.supplies) {
            if (supply.is_low()) {
                low.push_back(&supply);
            }
        }
    }
    return low;
}

bool needs_attention(const printing::PrintQueue& printer) {
    return printer.state == printing::QueueState::paused ||
           printer.state == printing::QueueState::unreachable || !low_supplies(printer).empty();
}

std::optional<std::string> waiting_reason(const printing::PrintJob& job, const DeviceSnapshot& snapshot) {
    if (job.state != printing::JobState::waiting || !snapshot.printers) {
        return std::nullopt;
    }
    for (const auto& printer : *snapshot.printers) {
        if (printer.name == job.queue &&
            (printer.state == printing::QueueState::paused || !printer.accepting)) {
            return fill(tr("Waiting: {} is paused"), display_name(printer.name));
        }
    }
    return std::nullopt;
}

WidgetPtr frame_page(Column page, float max_width) {
    return boxed(Row()
                     .push(Spacer::flexible())
                     .push(Container()
                               .with_child(Scrollable().with_child(std::move(page)))
                               .flexible()
                               .max_width(max_width))
                     .push(Spacer::flexible()));
}

}  // namespace presswick::views
