// Print jobs as the server reports them: state, page counts and job ids.
#include <algorithm>

#include "parsing.h"

namespace os_actions::printing {

std::optional<std::uint32_t> PrintJob::document_pages() const {
    if (!pages_total) {
        return std::nullopt;
    }
    // A server counts every copy; a total that is not a whole number of copies is the document's own.
    if (copies > 1 && *pages_total % copies == 0) {
        return *pages_total / copies;
    }
    return pages_total;
}

}  // namespace os_actions::printing

namespace os_actions::printing::detail {

std::optional<JobState> job_state_from_ipp(int ipp_job_state) {
    switch (ipp_job_state) {
        case 3:
            return JobState::waiting;  // pending
        case 4:
            return JobState::needs_attention;  // held
        case 5:
            return JobState::in_progress;  // processing
        case 6:
            return JobState::needs_attention;  // stopped
        case 7:
            return JobState::canceled;
        case 8:
            return JobState::not_printed;  // aborted
        case 9:
            return JobState::printed;  // completed
        default:
            return std::nullopt;
    }
}

std::optional<JobState> job_state(int ipp_job_state, const std::vector<std::string>& reasons) {
    auto state = job_state_from_ipp(ipp_job_state);
    if (state != JobState::canceled) {
        return state;
    }
    // Reasons that say a person did it; anything else that canceled the job stopped it from printing.
    const bool by_person = std::ranges::any_of(reasons, [](const std::string& r) {
        return r == "job-canceled-by-user" || r == "job-canceled-by-operator";
    });
    const bool stopped = std::ranges::any_of(reasons, [](const std::string& r) {
        return r == "job-canceled-at-device" || r == "aborted-by-system" || r == "job-aborted-by-system" ||
               r.starts_with("document-") || r == "job-data-insufficient" ||
               r == "unsupported-document-format" || r == "printer-stopped";
    });
    return stopped && !by_person ? JobState::not_printed : state;
}

PageCounts page_counts(const JobCounters& counters, bool printed) {
    auto count = [](std::optional<int> value) -> std::optional<std::uint32_t> {
        if (!value || *value < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(*value);
    };
    PageCounts out;
    const bool impressions_known = counters.impressions || counters.impressions_completed;
    if (impressions_known) {
        out.done = count(counters.impressions_completed);
        out.total = count(counters.impressions);
    } else {
        out.done = count(counters.media_sheets_completed);
        out.total = count(counters.media_sheets);
    }
    if (out.total == 0u) {
        out.total.reset();  // "0" is how a server says it has not counted yet
    }
    if (printed && !out.total && out.done > 0u) {
        out.total = out.done;
    }
    return out;
}

PageCounts shown_counts(PageCounts counts, std::optional<JobState> state) {
    const auto shown = state.value_or(JobState::unknown);
    if (shown == JobState::waiting && counts.done) {
        counts.done = 0;
    } else if (shown <= JobState::needs_attention && counts.total && counts.done &&
               *counts.done >= *counts.total) {
        counts.done = *counts.total - 1;
    }
    return counts;
}

std::optional<JobRef> parse_job_id(std::string_view id) {
    const auto dash = id.rfind('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 >= id.size() || id.size() - dash > 10) {
        return std::nullopt;
    }
    int number = 0;
    for (const char c : id.substr(dash + 1)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    if (number <= 0) {
        return std::nullopt;
    }
    return JobRef{.queue = std::string(id.substr(0, dash)), .number = number};
}

std::string queue_from_printer_uri(std::string_view uri) {
    const auto slash = uri.rfind('/');
    return std::string(slash == std::string_view::npos ? uri : uri.substr(slash + 1));
}

}  // namespace os_actions::printing::detail
