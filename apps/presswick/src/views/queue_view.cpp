// The print queue: one card per document, retry, and cancel with a confirmation step.

#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

namespace printing = os_actions::printing;
using namespace kora_ui;

namespace {

constexpr std::size_t kMaxQueueCards = 24;

std::string state_label(std::optional<printing::JobState> state) {
    switch (state.value_or(printing::JobState::unknown)) {
        case printing::JobState::waiting:
            return tr("Waiting");
        case printing::JobState::needs_attention:
            return tr("Needs attention");
        case printing::JobState::canceled:
            return tr("Canceled");
        case printing::JobState::not_printed:
            return tr("Could not print");
        case printing::JobState::printed:
            return tr("Printed");
        default:
            return tr("In progress");
    }
}

Row job_buttons(const printing::PrintJob& job, const Presswick& state,
                const std::optional<std::string>& selected) {
    using enum printing::JobState;
    const auto job_state = job.state.value_or(unknown);
    const bool retry = job_state == needs_attention || job_state == canceled || job_state == not_printed;
    const bool cancel = job_state <= needs_attention || job_state == not_printed;
    Row row;
    if (retry) {
        row.push(operation_button("presswick.job.retry", tr("Try again"), RetryJob{job.id}, state)
                     .with_icon(Icon::refresh));
    }
    if (cancel) {
        if (selected == job.id) {
            row.push(operation_button("presswick.job.cancel", tr("Confirm cancel"), CancelJob{job.id}, state)
                         .with_style(ButtonStyle::primary));
        } else {
            row.push(operation_button("presswick.job.cancel", tr("Cancel"), SelectJob{job.id}, state));
        }
    }
    return row;
}

WidgetPtr document_card(const printing::PrintJob& job, const DeviceSnapshot& snapshot, const Presswick& state,
                        const std::optional<std::string>& selected) {
    const auto position = active_page_position(job);
    const auto waiting = waiting_reason(job, snapshot);
    Column details;
    details.push(body_text(waiting ? *waiting : state_label(job.state)));
    // A document that could not print carries the printer's own words when it gave some.
    if (job.state == printing::JobState::not_printed && job.message) {
        details.push(caption_text(*job.message));
    }
    details.push(caption_text(fill(tr("Sent to {}"), display_name(job.queue))))
        .push(Spacer(10))
        .push(ProgressBar(progress_fraction(job)).with_accessible_label(tr("Document progress")))
        .push(Spacer(10))
        .push(job_buttons(job, state, selected));
    return card_about(document_title(job),
                      boxed(Row()
                                .push(PagePreview(tr("Queued document"), position.page, position.total))
                                .push(Container().with_child(std::move(details)).flexible())));
}

}  // namespace

WidgetPtr build_queue_view(const DeviceSnapshot& snapshot, const Presswick& state,
                           const std::optional<std::string>& selected_job,
                           const std::optional<Notice>& notice) {
    Column page;
    page.push(page_header(tr("Print queue"), tr("Every document, in one place"), state)).push(Spacer(20));
    if (notice) {
        page.push(notice_banner(*notice)).push(Spacer(14));
    }
    if (auto banner = service_problem_banner(failed_sections(snapshot, false, true, false), state)) {
        page.push(std::move(*banner)).push(Spacer(14));
    }
    if (selected_job) {
        page.push(Banner(BannerStyle::caution, tr("Cancel this document?"),
                         tr("It will be removed from the printer. This cannot be undone.")))
            .push(Spacer(14));
    }
    if (!snapshot.jobs || snapshot.jobs->empty()) {
        page.push(card(tr("Nothing waiting"),
                       boxed(body_text(tr("New documents will appear here as soon as an app sends them.")))));
    } else {
        CardGrid grid(330, 420);
        std::size_t shown = 0;
        for (const auto& job : *snapshot.jobs) {
            if (shown++ == kMaxQueueCards) {
                break;
            }
            grid.push(document_card(job, snapshot, state, selected_job));
        }
        page.push(std::move(grid));
    }
    return frame_page(std::move(page), kNarrowFrame);
}

}  // namespace presswick::views
