#include "printing/scripted_service.h"

#include <algorithm>

#include "credentials.h"

namespace os_actions::printing {

struct ScriptedService::Watchers {
    std::mutex mutex;
    std::vector<std::pair<int, ChangesCallback>> callbacks;
    int next = 0;
};

namespace {
std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) {
        out += (out.empty() ? "" : ",") + name;
    }
    return out;
}

class ScriptedWatch final : public Watch {
  public:
    ScriptedWatch(std::shared_ptr<void> watchers, std::function<void()> forget)
        : m_watchers(std::move(watchers)), m_forget(std::move(forget)) {}
    ~ScriptedWatch() override { m_forget(); }

  private:
    std::shared_ptr<void> m_watchers;
    std::function<void()> m_forget;
};
}  // namespace

Result<std::vector<PrintQueue>> ScriptedService::queues_named(const std::vector<std::string>& names) {
    record("queues_named(" + joined(names) + ")");
    std::lock_guard lock(m_mutex);
    auto all = m_answers.queues;
    if (all) {
        std::erase_if(*all,
                      [&](const PrintQueue& q) { return std::ranges::find(names, q.name) == names.end(); });
    }
    return all;
}

Result<std::vector<PrintJob>> ScriptedService::jobs_named(const std::vector<std::string>& ids) {
    record("jobs_named(" + joined(ids) + ")");
    std::lock_guard lock(m_mutex);
    auto all = m_answers.jobs;
    if (all) {
        std::erase_if(*all, [&](const PrintJob& j) { return std::ranges::find(ids, j.id) == ids.end(); });
    }
    return all;
}

std::unique_ptr<Watch> ScriptedService::watch(ChangesCallback on_change) {
    record("watch()");
    std::lock_guard lock(m_mutex);
    if (m_refuse_watching) {
        return nullptr;
    }
    if (!m_watchers) {
        m_watchers = std::make_shared<Watchers>();
    }
    auto watchers = m_watchers;
    std::lock_guard hold(watchers->mutex);
    const int id = watchers->next++;
    watchers->callbacks.emplace_back(id, std::move(on_change));
    return std::make_unique<ScriptedWatch>(watchers, [watchers, id] {
        std::lock_guard forget(watchers->mutex);
        std::erase_if(watchers->callbacks, [id](const auto& entry) { return entry.first == id; });
    });
}

void ScriptedService::refuse_watching(bool refuse) {
    std::lock_guard lock(m_mutex);
    m_refuse_watching = refuse;
}

bool ScriptedService::report(const Changes& changes) {
    std::shared_ptr<Watchers> watchers;
    {
        std::lock_guard lock(m_mutex);
        watchers = m_watchers;
    }
    if (!watchers) {
        return false;
    }
    std::lock_guard lock(watchers->mutex);
    for (const auto& [id, callback] : watchers->callbacks) {
        callback(changes);
    }
    return !watchers->callbacks.empty();
}

void ScriptedService::script(Answers answers) {
    std::lock_guard lock(m_mutex);
    m_answers = std::move(answers);
}

void ScriptedService::set_operation_result(OperationResult result) {
    std::lock_guard lock(m_mutex);
    m_answers.operation = std::move(result);
}

void ScriptedService::set_scan_result(Result<Bytes> result) {
    std::lock_guard lock(m_mutex);
    m_answers.scan = std::move(result);
}

void ScriptedService::set_printer_options(const std::string& queue, Result<PrinterOptions> options) {
    std::lock_guard lock(m_mutex);
    m_answers.printer_options.insert_or_assign(queue, std::move(options));
}

std::vector<std::string> ScriptedService::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void ScriptedService::clear_calls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

void ScriptedService::require_sign_in(std::optional<SignIn> sign_in) {
    std::lock_guard lock(m_mutex);
    m_sign_in = std::move(sign_in);
}

OperationResult ScriptedService::operation_answer() const {
    if (m_sign_in) {
        const auto given = detail::stored_credentials(m_sign_in->server);
        if (!given) {
            return std::unexpected(credentials_wanted_error(m_sign_in->server));
        }
        if (given->user != m_sign_in->user || given->password.view() != m_sign_in->password) {
            detail::forget_credentials(m_sign_in->server);  // as the real service does
            return std::unexpected(credentials_refused_error());
        }
    }
    return m_answers.operation;
}

void ScriptedService::record(std::string call) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(std::move(call));
}

Result<std::vector<PrintQueue>> ScriptedService::queues() {
    record("queues()");
    std::lock_guard lock(m_mutex);
    return m_answers.queues;
}

Result<std::vector<PrintJob>> ScriptedService::jobs() {
    record("jobs()");
    std::lock_guard lock(m_mutex);
    return m_answers.jobs;
}

Result<std::vector<Scanner>> ScriptedService::scanners() {
    record("scanners()");
    std::lock_guard lock(m_mutex);
    return m_answers.scanners;
}

Result<std::vector<DriverlessPrinter>> ScriptedService::discover_driverless() {
    record("discover_driverless()");
    std::lock_guard lock(m_mutex);
    return m_answers.discovered;
}

OperationResult ScriptedService::add_driverless(const std::string& uri, const std::string& name) {
    record("add_driverless(" + uri + "," + name + ")");
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

OperationResult ScriptedService::set_default(const std::string& queue) {
    record("set_default(" + queue + ")");
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

OperationResult ScriptedService::set_enabled(const std::string& queue, bool enabled) {
    record("set_enabled(" + queue + "," + (enabled ? "true" : "false") + ")");
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

OperationResult ScriptedService::cancel_job(const std::string& job_id) {
    record("cancel_job(" + job_id + ")");
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

OperationResult ScriptedService::retry_job(const std::string& job_id) {
    record("retry_job(" + job_id + ")");
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

Result<PrinterOptions> ScriptedService::printer_options(const std::string& queue) {
    record("printer_options(" + queue + ")");
    std::lock_guard lock(m_mutex);
    const auto found = m_answers.printer_options.find(queue);
    if (found == m_answers.printer_options.end()) {
        return std::unexpected("no options scripted for " + queue);
    }
    return found->second;
}

OperationResult ScriptedService::print_document(const std::string& queue,
                                                const std::filesystem::path& document,
                                                const JobOptions& options,
                                                std::optional<std::uint32_t> document_pages) {
    std::string call = "print_document(" + queue + "," + document.string() + "," +
                       std::to_string(options.copies) + "," + (options.two_sided ? "true" : "false") +
                       (document_pages ? "," + std::to_string(*document_pages) : "") + ")";
    const auto attributes = job_attributes(options);
    for (std::size_t i = 2; i < attributes.size(); ++i) {  // past copies and sides
        call += " " + attributes[i].first + "=" + attributes[i].second;
    }
    record(std::move(call));
    std::lock_guard lock(m_mutex);
    return operation_answer();
}

Result<Bytes> ScriptedService::scan_page(const std::string& scanner_id, const ScanSettings& settings) {
    record("scan_page(" + scanner_id + "," + std::to_string(settings.resolution_dpi) + "," +
           std::to_string(std::to_underlying(settings.colour_mode)) + "," +
           std::to_string(std::to_underlying(settings.source)) + ")");
    std::lock_guard lock(m_mutex);
    return m_answers.scan;
}

void ScriptedService::set_feeder(std::vector<Bytes> sides) {
    std::lock_guard lock(m_mutex);
    m_answers.feeder = std::move(sides);
}

Result<ScanEnd> ScriptedService::scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                                            const PageSink& on_page, std::stop_token stop) {
    if (settings.source == ScanSource::flatbed) {
        return Service::scan_pages(scanner_id, settings, on_page, std::move(stop));
    }
    record("scan_pages(" + scanner_id + "," + std::to_string(settings.resolution_dpi) + "," +
           std::to_string(std::to_underlying(settings.colour_mode)) + "," +
           std::to_string(std::to_underlying(settings.source)) + ")");
    std::vector<Bytes> sides;
    {
        std::lock_guard lock(m_mutex);
        sides = m_answers.feeder;
    }
    for (auto& side : sides) {
        if (stop.stop_requested()) {
            return ScanEnd::cancelled;
        }
        on_page(std::move(side));
    }
    return sides.empty() ? ScanEnd::feeder_empty : ScanEnd::done;
}

}  // namespace os_actions::printing
