#include <algorithm>
#include <mutex>
#include <ostream>

#include "printing/printing.h"

namespace os_actions::printing {

namespace {
// The platform layer's one installed service. Detached workers may still call it while the process
// exits, so it is never destroyed.
struct Installed {
    std::mutex mutex;
    std::shared_ptr<Service> service;
};

Installed& installed() {
    static auto* instance = new Installed;
    return *instance;
}
}  // namespace

std::optional<std::uint8_t> PrintJob::progress_percent() const {
    if (!pages_done || !pages_total || *pages_total == 0) {
        return std::nullopt;
    }
    const auto done = std::min(*pages_done, *pages_total);
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(done) * 100 / *pages_total);
}

namespace {
template <class T>
Result<std::vector<T>> only_named(Result<std::vector<T>> all, const std::vector<std::string>& names,
                                  auto key) {
    if (!all) {
        return all;
    }
    std::erase_if(*all,
                  [&](const T& record) { return std::ranges::find(names, key(record)) == names.end(); });
    return all;
}
}  // namespace

Result<std::vector<PrintQueue>> Service::queues_named(const std::vector<std::string>& names) {
    return only_named(queues(), names, [](const PrintQueue& q) { return q.name; });
}
Result<std::vector<PrintJob>> Service::jobs_named(const std::vector<std::string>& ids) {
    return only_named(jobs(), ids, [](const PrintJob& j) { return j.id; });
}
std::unique_ptr<Watch> Service::watch(ChangesCallback) {
    return nullptr;
}

namespace {
constexpr std::string_view not_permitted_prefix = "Not permitted: ";
}

ServiceError not_permitted_error(const std::string& what) {
    return {ServiceError::Kind::not_permitted, {}, std::string(not_permitted_prefix) + what};
}

std::ostream& operator<<(std::ostream& out, const ServiceError& error) {
    return out << error.message;
}

std::shared_ptr<Service> install_service(std::shared_ptr<Service> service) {
    std::lock_guard lock(installed().mutex);
    auto previous = std::move(installed().service);
    installed().service = std::move(service);
    return previous;
}

std::shared_ptr<Service> installed_service() {
    std::lock_guard lock(installed().mutex);
    if (!installed().service) {
        installed().service = make_system_service();
    }
    return installed().service;
}

Result<std::vector<PrintQueue>> queues() {
    return installed_service()->queues();
}
Result<std::vector<PrintJob>> jobs() {
    return installed_service()->jobs();
}
Result<std::vector<Scanner>> scanners() {
    return installed_service()->scanners();
}
Result<std::vector<DriverlessPrinter>> discover_driverless() {
    return installed_service()->discover_driverless();
}
OperationResult add_driverless(const std::string& uri, const std::string& name) {
    return installed_service()->add_driverless(uri, name);
}
OperationResult set_default(const std::string& queue) {
    return installed_service()->set_default(queue);
}
OperationResult set_enabled(const std::string& queue, bool enabled) {
    return installed_service()->set_enabled(queue, enabled);
}
OperationResult cancel_job(const std::string& job_id) {
    return installed_service()->cancel_job(job_id);
}
OperationResult retry_job(const std::string& job_id) {
    return installed_service()->retry_job(job_id);
}
Result<PrinterOptions> printer_options(const std::string& queue) {
    return installed_service()->printer_options(queue);
}
OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                               const JobOptions& options, std::optional<std::uint32_t> document_pages) {
    return installed_service()->print_document(queue, document, options, document_pages);
}
OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                               std::uint16_t copies, bool two_sided,
                               std::optional<std::uint32_t> document_pages) {
    JobOptions options;
    options.copies = copies;
    options.two_sided = two_sided;
    return installed_service()->print_document(queue, document, options, document_pages);
}
Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings) {
    return installed_service()->scan_page(scanner_id, settings);
}

Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names) {
    return installed_service()->queues_named(names);
}
Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids) {
    return installed_service()->jobs_named(ids);
}
std::unique_ptr<Watch> watch(ChangesCallback on_change) {
    return installed_service()->watch(std::move(on_change));
}

Result<ScanEnd> scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                           const PageSink& on_page, std::stop_token stop) {
    return installed_service()->scan_pages(scanner_id, settings, on_page, std::move(stop));
}

Result<ScanEnd> Service::scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                                    const PageSink& on_page, std::stop_token stop) {
    if (stop.stop_requested()) {
        return ScanEnd::cancelled;
    }
    auto page = scan_page(scanner_id, settings);
    if (!page) {
        return std::unexpected(std::move(page.error()));
    }
    on_page(std::move(*page));
    return ScanEnd::done;
}

}  // namespace os_actions::printing
