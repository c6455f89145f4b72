// Printer and job operations, and printing a document.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>

#include "cups_auth.h"
#include "cups_client.h"
#include "cups_handles.h"
#include "job_options.h"
#include "parsing.h"
#include "pk_helper.h"

namespace os_actions::printing::cups {

namespace {

// Sends one printer or job operation. When the server refuses it for lack of rights and runs on this
// machine, the polkit mechanism does it instead (the desktop's agent may ask who is there).
OperationResult operation(ipp_op_t op, const std::string& uri, int job_id = 0,
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
            return std::unexpected(not_permitted_error(done.error()));
        }
        return done;
    }
    auto error = failure_of(status, response.error());
    if (status == IPP_STATUS_ERROR_FORBIDDEN && error.kind == ServiceError::Kind::failed) {
        return std::unexpected(not_permitted_error(error.message));
    }
    return std::unexpected(std::move(error));
}

}  // namespace

// Pausing stops printing and keeps taking documents, which wait; resuming also takes documents again
// (a queue may have been set to refuse them elsewhere).
OperationResult set_enabled(const std::string& queue, bool enabled) {
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

OperationResult cancel_job(const std::string& job_id) {
    const auto ref = detail::parse_job_id(job_id);
    if (!ref) {
        return failure("Not a job id: " + job_id);
    }
    return operation(IPP_OP_CANCEL_JOB, printer_uri(ref->queue), ref->number,
                     [&] { return pk::job_cancel(ref->number); });
}

OperationResult retry_job(const std::string& job_id) {
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
        return std::unexpected(failure_of(cupsLastError(), "No job " + job_id + ": " + response.error()));
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
OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
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
    Options options;
    for (const auto& [name, value] : job_attributes(choices)) {
        options.add(name, value);
    }
    cupsEncodeOptions2(request.get(), options.count(), options.get(), IPP_TAG_JOB);
    const OneSignIn sign_in;
    Ipp response(
        cupsDoFileRequest(http->get(), request.release(), ("/printers/" + queue).c_str(), document.c_str()));
    const auto* job = response ? ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER) : nullptr;
    if (!job || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        return std::unexpected(failure_of(cupsLastError(), "Could not print " + title + ": " + last_error()));
    }
    return {};
}

}  // namespace os_actions::printing::cups
