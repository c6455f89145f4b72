// Finished documents the print service retains, each with tr("Print again").

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

constexpr std::size_t kMaxHistoryCards = 50;

bool is_finished(const printing::PrintJob& job) {
    return job.state >= printing::JobState::canceled;
}

std::string outcome_label(printing::JobState state) {
    switch (state) {
        case printing::JobState::canceled:
            return tr("Canceled");
        case printing::JobState::not_printed:
            return tr("Did not print");
        default:
            return tr("Printed");
    }
}

// "3 pages, sent to Office, Today at 10:42": one whole sentence for each count, so that it translates.
std::string history_caption(const printing::PrintJob& job) {
    const auto pages = job.document_pages();  // the document's pages, not pages times copies
    const auto queue = display_name(job.queue);
    const auto when = day_label(job.time, std::chrono::system_clock::now());
    if (!pages) {
        return fill(tr("Page count unavailable, sent to {}, {}"), queue, when);
    }
    return fill(trn("{} page, sent to {}, {}", "{} pages, sent to {}, {}", *pages), *pages, queue, when);
}

WidgetPtr history_card(const printing::PrintJob& job, const Presswick& state) {
    const auto pages = job.document_pages();
    const std::uint32_t total = pages && *pages > 0 ? *pages : 1;
    auto details = Column()
                       .push(body_text(outcome_label(*job.state)))
                       .push(caption_text(history_caption(job)))
                       .push(Spacer(12))
                       .push(operation_button(fill("presswick.history.repeat.{}", job.id), tr("Print again"),
                                              RetryJob{job.id}, state)
                                 .with_icon(Icon::refresh));
    return boxed(Container().with_child(card_about(
        document_title(job), boxed(Row()
                                       .push(PagePreview(tr("Printed document"), total, total))
                                       .push(Container().with_child(std::move(details)).flexible())))));
}

}  // namespace

WidgetPtr build_history_view(const DeviceSnapshot& snapshot, const Presswick& state) {
    Column page;
    page.push(page_header(tr("Print history"), tr("Documents retained by your print service"), state))
        .push(Spacer(20));
    if (auto banner = service_problem_banner(failed_sections(snapshot, false, true, false), state)) {
        page.push(std::move(*banner)).push(Spacer(14));
    }
    std::vector<const printing::PrintJob*> finished;
    if (snapshot.jobs) {
        for (const auto& job : *snapshot.jobs) {
            if (is_finished(job)) {
                finished.push_back(&job);
            }
        }
    }
    if (finished.empty()) {
        page.push(card(
            tr("No completed documents yet"),
            boxed(body_text(tr("After a document finishes or is canceled, its status will appear here.")))));
    }
    for (std::size_t i = 0; i < finished.size() && i < kMaxHistoryCards; ++i) {
        page.push(history_card(*finished[i], state)).push(Spacer(12));
    }
    return frame_page(std::move(page), kNarrowFrame);
}

}  // namespace presswick::views
