#include "cups_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <span>
#include <sstream>
#include <unordered_map>

#include "cups_auth.h"
#include "cups_handles.h"
#include "device_probe.h"
#include "parsing.h"
#include "pk_helper.h"

namespace os_actions::printing::cups {

namespace {

std::vector<std::string> strings_of(ipp_attribute_t* attr) {
    std::vector<std::string> out;
    const int count = ippGetCount(attr);
    for (int i = 0; i < count; ++i) {
        const char* value = ippGetString(attr, i, nullptr);
        out.emplace_back(value ? value : "");
    }
    return out;
}

std::vector<int> integers_of(ipp_attribute_t* attr) {
    std::vector<int> out;
    const int count = ippGetCount(attr);
    for (int i = 0; i < count; ++i) {
        out.push_back(ippGetInteger(attr, i));
    }
    return out;
}

// --- The per-user default ------------------------------------------------------------------------

// Where the per-user default lives instead of ~/.cups when a private print system asks for it
// (libcups 2.4 has no such setting of its own: it always writes $HOME/.cups/lpoptions).
std::optional<std::filesystem::path> private_user_config() {
    const char* dir = std::getenv("PRESSWICK_CUPS_USERCONFIG");
    if (!dir || !*dir) {
        return std::nullopt;
    }
    return std::filesystem::path(dir);
}

std::optional<std::string> read_private_default(const std::filesystem::path& dir) {
    std::ifstream in(dir / "lpoptions");
    if (!in) {
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    return detail::lpoptions_default(text.str());
}

Result<void> write_private_default(const std::filesystem::path& dir, const std::string& queue) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto target = dir / "lpoptions";
    const auto temp = dir / "lpoptions.new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return failure("Could not write " + target.string() + ": " + std::strerror(errno));
    }
    const std::string text = "Default " + queue + "\n";
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return failure("Could not write " + target.string() + ": " + std::strerror(errno));
    }
    return {};
}

// The user's preferred destination: the private one when set, else what libcups reports (LPDEST,
// PRINTER, lpoptions, then the server default).
std::optional<std::string> preferred_queue(http_t* http, const std::vector<PrintQueue>& known) {
    auto exists = [&](const std::string& name) {
        return std::ranges::any_of(known, [&](const PrintQueue& q) { return q.name == name; });
    };
    if (const auto dir = private_user_config()) {
        if (auto chosen = read_private_default(*dir); chosen && exists(*chosen)) {
            return chosen;
        }
        if (const char* server_default = cupsGetDefault2(http)) {
            return std::string(server_default);
        }
        return std::nullopt;
    }
    cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
    if (!dest) {
        return std::nullopt;
    }
    std::string name = dest->name;
    cupsFreeDests(1, dest);
    return name;
}

const std::vector<const char*> queue_attributes = {
    "printer-name", "printer-state",        "printer-state-reasons", "printer-is-accepting-jobs",
    "marker-names", "marker-colors",        "marker-levels",         "marker-low-levels",
    "device-uri",   "printer-state-message"};

struct QueueRow {
    PrintQueue queue;
    int ipp_state = 3;
    std::string device_uri;
};

QueueRow queue_row(const std::vector<ipp_attribute_t*>& group) {
    QueueRow row;
    std::vector<std::string> names, colours;
    std::vector<int> levels, low_levels;
    for (auto* attr : group) {
        const std::string_view name = ippGetName(attr);
        if (name == "printer-name") {
            row.queue.name = ippGetString(attr, 0, nullptr);
        } else if (name == "printer-state") {
            row.ipp_state = ippGetInteger(attr, 0);
        } else if (name == "printer-state-reasons") {
            row.queue.state_reasons = detail::clean_reasons(strings_of(attr));
        } else if (name == "printer-is-accepting-jobs") {
            row.queue.accepting = ippGetBoolean(attr, 0) != 0;
        } else if (name == "marker-names") {
            names = strings_of(attr);
        } else if (name == "marker-colors") {
            colours = strings_of(attr);
        } else if (name == "marker-levels") {
            levels = integers_of(attr);
        } else if (name == "marker-low-levels") {
            low_levels = integers_of(attr);
        } else if (name == "device-uri") {
            row.device_uri = ippGetString(attr, 0, nullptr);
        }
    }
    row.queue.supplies = detail::parse_supplies(names, colours, levels, low_levels);
    return row;
}

// Sends one printer or job operation. When the server refuses it for lack of rights and runs on this
// machine, the polkit mechanism does it instead (the desktop's agent may ask who is there).
Result<void> operation(ipp_op_t op, const std::string& uri, int job_id = 0,
                       const std::function<Result<void>()>& with_polkit = {}) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    auto request = new_request(op, uri);
    if (job_id > 0) {
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job_id);
    }
    auto response = send(http->get(), request.release(), "/admin/");
    if (response) {
        return {};
    }
    const auto status = cupsLastError();
    if (with_polkit && refused_for_rights(status) && server_is_local()) {
        // The server said no for lack of rights; when polkit does not do it either, that is the reason.
        auto done = with_polkit();
        if (!done) {
            return failure(not_permitted_error(done.error()));
        }
        return done;
    }
    const auto text = failure_text(status, response.error());
    if (status == IPP_STATUS_ERROR_FORBIDDEN && !credentials_wanted(text) && !credentials_refused(text)) {
        return failure(not_permitted_error(text));
    }
    return failure(text);
}

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

struct ListedJob {
    PrintJob job;
    int number = 0;
    std::time_t when = 0;  // completed, else created: what its time label tells
};

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
    const auto pages = detail::shown_counts(detail::page_counts(counters, job.state == 6), job.state);
    job.pages_done = pages.done;
    job.pages_total = pages.total;
    job.id = job.queue + "-" + std::to_string(number);
    return {std::move(job), number, completed > 0 ? completed : created};
}

// Finished jobs do not change (one sent again is no longer finished), so their details are kept from
// one refresh to the next instead of being read again: only what the latest refresh showed, per server.
struct FinishedJobs {
    std::mutex mutex;
    std::string server;
    std::unordered_map<int, ListedJob> jobs;
};

FinishedJobs& finished_jobs() {
    static auto* instance = new FinishedJobs;  // detached workers may refresh while the process exits
    return *instance;
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

std::string server_identity() {
    return std::string(cupsServer()) + ":" + std::to_string(ippPort());
}

}  // namespace

// --- Shared handles --------------------------------------------------------------------------------

Result<Http> connect_server() {
    guard_thread();
    const char* server = cupsServer();
    Http http(
        httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, server_timeout_ms, nullptr));
    if (!http) {
        return failure(std::string("Could not reach the print server at ") + server + ": " +
                       (errno ? std::strerror(errno) : last_error()));
    }
    httpSetTimeout(http.get(), server_timeout_ms / 1000.0, nullptr, nullptr);
    return http;
}

Result<Ipp> send(http_t* http, ipp_t* request, const char* resource) {
    const OneSignIn sign_in;
    Ipp response(cupsDoRequest(http, request, resource));
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        return failure(last_error());
    }
    return response;
}

std::string printer_uri(const std::string& queue) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.c_str());
    return uri;
}

// --- Lists -----------------------------------------------------------------------------------------

namespace {
// The records of queue rows: whether each device answers (asked only here), state, the preferred one.
std::vector<PrintQueue> finish_queues(http_t* http, std::vector<QueueRow> rows) {
    // Devices are asked only when the server is this machine: one elsewhere may reach devices this
    // machine cannot, and its own reasons then say whether a device answers it.
    const bool local = server_is_local();
    std::vector<std::string> network_uris;
    std::vector<std::size_t> network_rows;
    for (std::size_t i = 0; local && i < rows.size(); ++i) {
        if (detail::is_network_device(rows[i].device_uri)) {
            network_uris.push_back(rows[i].device_uri);
            network_rows.push_back(i);
        }
    }
    const auto answers = probe::check(network_uris);
    std::vector<std::optional<bool>> device_answered(rows.size());
    for (std::size_t k = 0; k < network_rows.size(); ++k) {
        // A probe that did not finish within this check counts as no answer.
        device_answered[network_rows[k]] = answers[k] && answers[k]->answered;
    }

    std::vector<PrintQueue> out;
    out.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto& row = rows[i];
        row.queue.answered =
            detail::queue_answered(row.ipp_state, row.queue.state_reasons, local, device_answered[i]);
        row.queue.state = detail::queue_state(row.ipp_state, row.queue.state_reasons, row.queue.answered);
        out.push_back(std::move(row.queue));
    }
    if (const auto preferred = preferred_queue(http, out)) {
        for (auto& q : out) {
            q.is_default = q.name == *preferred;
        }
    }
    return out;
}
}  // namespace

Result<std::vector<PrintQueue>> queues() {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    Ipp request(ippNewRequest(IPP_OP_CUPS_GET_PRINTERS));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    request_attributes(request.get(), queue_attributes);
    auto response = send(http->get(), request.release());
    if (!response) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            return std::vector<PrintQueue>{};  // a server without queues
        }
        return std::unexpected("Could not list printers: " + response.error());
    }
    std::vector<QueueRow> rows;
    for_each_group(response->get(), IPP_TAG_PRINTER, [&](const auto& group) {
        auto row = queue_row(group);
        if (!row.queue.name.empty()) {
            rows.push_back(std::move(row));
        }
    });
    return finish_queues(http->get(), std::move(rows));
}

Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    std::vector<QueueRow> rows;
    for (const auto& name : names) {
        auto request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, printer_uri(name));
        request_attributes(request.get(), queue_attributes);
        auto response = send(http->get(), request.release());
        if (!response) {
            if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
                continue;  // deleted
            }
            return std::unexpected("Could not read printer " + name + ": " + response.error());
        }
        for_each_group(response->get(), IPP_TAG_PRINTER, [&](const auto& group) {
            auto row = queue_row(group);
            if (!row.queue.name.empty()) {
                rows.push_back(std::move(row));
            }
        });
    }
    return finish_queues(http->get(), std::move(rows));
}

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
    auto& cache = finished_jobs();
    std::unique_lock lock(cache.mutex);
    if (cache.server != server_identity()) {
        cache.server = server_identity();
        cache.jobs.clear();
    }
    auto known = std::move(cache.jobs);
    cache.jobs.clear();
    lock.unlock();
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
    const std::time_t now = std::time(nullptr);
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
        auto job = it->second.job;
        job.time_label = detail::time_label(it->second.when, now);
        out.push_back(std::move(job));
        if (finished_now[id]) {
            keep.emplace(id, std::move(it->second));
        }
    }
    lock.lock();
    if (cache.server == server_identity()) {
        cache.jobs = std::move(keep);
    }
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
    const std::time_t now = std::time(nullptr);
    std::vector<PrintJob> out;
    for (const int number : numbers) {
        if (auto it = fetched.find(number); it != fetched.end()) {
            auto job = std::move(it->second.job);
            job.time_label = detail::time_label(it->second.when, now);
            out.push_back(std::move(job));
        }
    }
    return out;
}

// --- Operations ------------------------------------------------------------------------------------

Result<void> set_default(const std::string& queue) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    if (const auto dir = private_user_config()) {
        auto request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, printer_uri(queue));
        request_attributes(request.get(), {"printer-name"});
        if (auto response = send(http->get(), request.release()); !response) {
            return failure("No printer " + queue + ": " + response.error());
        }
        return write_private_default(*dir, queue);
    }
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http->get(), &dests);
    bool found = false;
    for (int i = 0; i < count; ++i) {
        dests[i].is_default = !dests[i].instance && queue == dests[i].name;
        found = found || dests[i].is_default;
    }
    if (!found) {
        cupsFreeDests(count, dests);
        return failure("No printer " + queue);
    }
    const int status = cupsSetDests2(http->get(), count, dests);
    cupsFreeDests(count, dests);
    if (status != 0) {
        return failure("Could not save the preferred printer: " + last_error());
    }
    return {};
}

// Pausing stops printing and keeps taking documents, which wait; resuming also takes documents again
// (a queue may have been set to refuse them elsewhere).
Result<void> set_enabled(const std::string& queue, bool enabled) {
    const auto uri = printer_uri(queue);
    if (!enabled) {
        return operation(IPP_OP_PAUSE_PRINTER, uri, 0, [&] { return pk::printer_set_enabled(queue, false); });
    }
    auto resumed =
        operation(IPP_OP_RESUME_PRINTER, uri, 0, [&] { return pk::printer_set_enabled(queue, true); });
    if (!resumed) {
        return resumed;
    }
    return operation(IPP_OP_CUPS_ACCEPT_JOBS, uri, 0,
                     [&] { return pk::printer_set_accept_jobs(queue, true); });
}

Result<void> cancel_job(const std::string& job_id) {
    const auto ref = detail::parse_job_id(job_id);
    if (!ref) {
        return failure("Not a job id: " + job_id);
    }
    return operation(IPP_OP_CANCEL_JOB, printer_uri(ref->queue), ref->number,
                     [&] { return pk::job_cancel(ref->number); });
}

Result<void> retry_job(const std::string& job_id) {
    const auto ref = detail::parse_job_id(job_id);
    if (!ref) {
        return failure("Not a job id: " + job_id);
    }
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    auto request = new_request(IPP_OP_GET_JOB_ATTRIBUTES, printer_uri(ref->queue));
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", ref->number);
    request_attributes(request.get(), {"job-state"});
    auto response = send(http->get(), request.release());
    if (!response) {
        return failure(failure_text(cupsLastError(), "No job " + job_id + ": " + response.error()));
    }
    const int state = ippGetInteger(ippFindAttribute(response->get(), "job-state", IPP_TAG_ENUM), 0);
    switch (state) {
        case IPP_JSTATE_PENDING:
        case IPP_JSTATE_PROCESSING:
            return {};  // already in the queue
        case IPP_JSTATE_HELD:
            return operation(IPP_OP_RELEASE_JOB, printer_uri(ref->queue), ref->number,
                             [&] { return pk::job_release(ref->number); });
        default:
            return operation(IPP_OP_RESTART_JOB, printer_uri(ref->queue), ref->number,
                             [&] { return pk::job_restart(ref->number); });
    }
}

// One Print-Job with the file. The job's size goes with it when known: cupsd keeps a client's
// job-impressions and reports it while the job prints (it counts none of its own until the end).
Result<void> print_document(const std::string& queue, const std::filesystem::path& document,
                            const JobOptions& choices, std::optional<std::uint32_t> document_pages) {
    const auto copies = choices.copies;
    if (copies < 1 || copies > 99) {
        return failure("Copies must be between 1 and 99");
    }
    if (::access(document.c_str(), R_OK) != 0) {
        return failure("Cannot read " + document.string() + ": " + std::strerror(errno));
    }
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    const auto title = document.filename().string();
    auto request = new_request(IPP_OP_PRINT_JOB, printer_uri(queue));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 CUPS_FORMAT_AUTO);
    if (document_pages && *document_pages > 0) {
        const auto impressions = std::min<std::uint64_t>(std::uint64_t{*document_pages} * copies, INT32_MAX);
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-impressions",
                      static_cast<int>(impressions));
    }
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [name, value] : job_attributes(choices)) {
        count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
    }
    cupsEncodeOptions2(request.get(), count, options, IPP_TAG_JOB);
    cupsFreeOptions(count, options);
    const OneSignIn sign_in;
    Ipp response(
        cupsDoFileRequest(http->get(), request.release(), ("/printers/" + queue).c_str(), document.c_str()));
    const auto* job = response ? ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER) : nullptr;
    if (!job || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        return failure(failure_text(cupsLastError(), "Could not print " + title + ": " + last_error()));
    }
    return {};
}

}  // namespace os_actions::printing::cups
