// The print jobs the server lists: every one not yet finished and the newest finished ones.
#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <unordered_map>

#include "cups_client.h"
#include "cups_finished_jobs.h"
#include "cups_handles.h"
#include "parsing.h"

namespace os_actions::printing::cups {

namespace {

// The jobs a refresh shows: every job not yet finished, then the newest finished ones, as many
// together as cupsd reads job files for in one answer (asked for more it answers with its oldest).
std::vector<int> jobs_to_show(std::vector<std::pair<int, bool>> ids_finished) {
    constexpr std::size_t most = 500;
    std::ranges::sort(ids_finished, std::greater<>());
    std::vector<int> shown;
    for (const auto& [id, finished] : ids_finished) {
        if (!finished) {
            shown.push_back(id);
        }
    }
    for (const auto& [id, finished] : ids_finished) {
        if (finished && shown.size() < most) {
            shown.push_back(id);
        }
    }
    return shown;
}

ListedJob job_from(const std::vector<ipp_attribute_t*>& group) {
    PrintJob job;
    detail::JobCounters counters;
    int number = 0, ipp_state = 0;
    std::time_t created = 0, completed = 0;
    for (auto* attr : group) {
        const std::string_view name = ippGetName(attr);
        const bool integer = ippGetValueTag(attr) == IPP_TAG_INTEGER;
        if (name == "job-id") {
            number = ippGetInteger(attr, 0);
        } else if (name == "job-printer-uri") {
            job.queue = detail::queue_from_printer_uri(ippGetString(attr, 0, nullptr));
        } else if (name == "job-name") {
            job.title = ippGetString(attr, 0, nullptr);
        } else if (name == "job-state") {
            ipp_state = ippGetInteger(attr, 0);
        } else if (name == "job-state-reasons") {
            job.reasons = detail::clean_reasons(strings_of(attr));
        } else if (name == "job-printer-state-message") {
            if (const char* text = ippGetString(attr, 0, nullptr); text && *text) {
                job.message = text;
            }
        } else if (name == "copies" && integer) {
            job.copies = static_cast<std::uint16_t>(std::clamp(ippGetInteger(attr, 0), 1, 9999));
        } else if (name == "job-impressions" && integer) {
            counters.impressions = ippGetInteger(attr, 0);
        } else if (name == "job-impressions-completed" && integer) {
            counters.impressions_completed = ippGetInteger(attr, 0);
        } else if (name == "job-media-sheets" && integer) {
            counters.media_sheets = ippGetInteger(attr, 0);
        } else if (name == "job-media-sheets-completed" && integer) {
            counters.media_sheets_completed = ippGetInteger(attr, 0);
        } else if (name == "time-at-creation" && integer) {
            created = ippGetInteger(attr, 0);
        } else if (name == "time-at-completed" && integer) {
            completed = ippGetInteger(attr, 0);
        } else if (name == "job-originating-user-name") {
            job.owner = ippGetString(attr, 0, nullptr);
        }
    }
    job.state = detail::job_state(ipp_state, job.reasons);
    const auto pages =
        detail::shown_counts(detail::page_counts(counters, job.state == JobState::printed), job.state);
    job.pages_done = pages.done;
    job.pages_total = pages.total;
    job.id = job.queue + "-" + std::to_string(number);
    job.time = std::chrono::system_clock::from_time_t(completed > 0 ? completed : created);
    return {std::move(job), number};
}

// Details of the jobs a Get-Jobs request names, added to `into` by number.
Result<void> job_details(http_t* http, Ipp request, std::unordered_map<int, ListedJob>& into) {
    request_attributes(request.get(),
                       {"job-id", "job-printer-uri", "job-name", "job-state", "job-state-reasons",
                        "job-printer-state-message", "copies", "job-impressions", "job-impressions-completed",
                        "job-media-sheets", "job-media-sheets-completed", "time-at-creation",
                        "time-at-completed", "job-originating-user-name"});
    auto response = send(http, request.release());
    if (!response) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            return {};  // none of them is known any more
        }
        return std::unexpected("Could not list print jobs: " + response.error());
    }
    for_each_group(response->get(), IPP_TAG_JOB, [&](const auto& group) {
        if (auto listed = job_from(group); listed.number > 0) {
            into.emplace(listed.number, std::move(listed));
        }
    });
    return {};
}

}  // namespace

Result<std::vector<PrintJob>> jobs() {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    // First every job's id and state, which the server answers from memory however many it keeps...
    auto request = new_request(IPP_OP_GET_JOBS, "ipp://localhost/");
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    request_attributes(request.get(), {"job-id", "job-state"});
    auto listed = send(http->get(), request.release());
    if (!listed) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            return std::vector<PrintJob>{};
        }
        return std::unexpected("Could not list print jobs: " + listed.error());
    }
    std::vector<std::pair<int, bool>> ids_finished;
    for_each_group(listed->get(), IPP_TAG_JOB, [&](const auto& group) {
        int id = 0, state = 0;
        for (auto* attr : group) {
            const std::string_view name = ippGetName(attr);
            if (name == "job-id") {
                id = ippGetInteger(attr, 0);
            } else if (name == "job-state") {
                state = ippGetInteger(attr, 0);
            }
        }
        ids_finished.emplace_back(id, state >= IPP_JSTATE_CANCELED);
    });
    // ...then the details of those shown, by id, in server order; finished ones known from the last
    // refresh are not asked for again.
    auto shown = jobs_to_show(ids_finished);
    std::ranges::sort(shown);
    std::unordered_map<int, bool> finished_now;
    for (const auto& [id, finished] : ids_finished) {
        finished_now[id] = finished;
    }
    auto known = take_finished_jobs();
    std::vector<int> wanted;
    for (const int id : shown) {
        if (!finished_now[id] || !known.contains(id)) {
            wanted.push_back(id);
        }
    }
    std::unordered_map<int, ListedJob> fetched;
    constexpr std::size_t per_request = 500;
    for (std::size_t first = 0; first < wanted.size(); first += per_request) {
        const auto count = std::min(per_request, wanted.size() - first);
        auto details = new_request(IPP_OP_GET_JOBS, "ipp://localhost/");
        ippAddIntegers(details.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-ids", static_cast<int>(count),
                       wanted.data() + first);
        if (auto got = job_details(http->get(), std::move(details), fetched); !got) {
            return std::unexpected(got.error());
        }
    }
    std::vector<PrintJob> out;
    out.reserve(shown.size());
    std::unordered_map<int, ListedJob> keep;
    for (const int id : shown) {
        auto it = fetched.find(id);
        if (it == fetched.end()) {
            it = known.find(id);
            if (it == known.end()) {
                continue;  // gone between the two requests
            }
        }
        out.push_back(it->second.job);
        if (finished_now[id]) {
            keep.emplace(id, std::move(it->second));
        }
    }
    keep_finished_jobs(std::move(keep));
    return out;
}

Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids) {
    std::vector<int> numbers;
    for (const auto& id : ids) {
        if (const auto ref = detail::parse_job_id(id)) {
            numbers.push_back(ref->number);
        }
    }
    std::ranges::sort(numbers);
    if (numbers.empty()) {
        return std::vector<PrintJob>{};
    }
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    std::unordered_map<int, ListedJob> fetched;
    auto fetch = [&](std::span<const int> these) {
        auto request = new_request(IPP_OP_GET_JOBS, "ipp://localhost/");
        ippAddIntegers(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-ids",
                       static_cast<int>(these.size()), these.data());
        return job_details(http->get(), std::move(request), fetched);
    };
    if (auto got = fetch(numbers); !got) {
        return std::unexpected(got.error());
    }
    // The server answers "not found" for the whole list when one of them is gone: then one by one.
    if (fetched.empty() && numbers.size() > 1 && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
        for (const int& number : numbers) {
            if (auto got = fetch(std::span<const int>(&number, 1)); !got) {
                return std::unexpected(got.error());
            }
        }
    }
    std::vector<PrintJob> out;
    for (const int number : numbers) {
        if (auto it = fetched.find(number); it != fetched.end()) {
            out.push_back(std::move(it->second.job));
        }
    }
    return out;
}

}  // namespace os_actions::printing::cups
