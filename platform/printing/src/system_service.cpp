// The real print service: CUPS for printers and jobs; scanners through presswick-scan-helper, with the
// scanner list kept and renewed in the background so that printers never wait for it.
#include "system_service.h"

#include <mutex>

#include "cups_client.h"
#include "cups_events.h"
#include "printing/printing.h"
#include "scanner_list.h"

namespace os_actions::printing {

namespace {
class SystemService final : public Service {
  public:
    explicit SystemService(detail::ScannerSide scanners)
        : m_helper(std::move(scanners.helper)), m_scanners(m_helper, scanners.first_list_wait) {
        m_scanners.renew();  // the first refresh will want it
    }

    Result<std::vector<PrintQueue>> queues() override { return cups::queues(); }
    Result<std::vector<PrintJob>> jobs() override { return cups::jobs(); }
    Result<std::vector<Scanner>> scanners() override { return m_scanners.get(); }
    Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names) override {
        return cups::queues_named(names);
    }
    Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids) override {
        return cups::jobs_named(ids);
    }
    std::unique_ptr<Watch> watch(ChangesCallback on_change) override {
        return cups::watch(std::move(on_change));
    }
    Result<std::vector<DriverlessPrinter>> discover_driverless() override {
        return cups::discover_driverless();
    }
    OperationResult add_driverless(const std::string& uri, const std::string& name) override {
        return cups::add_driverless(uri, name);
    }
    OperationResult set_default(const std::string& queue) override { return cups::set_default(queue); }
    OperationResult set_enabled(const std::string& queue, bool enabled) override {
        return cups::set_enabled(queue, enabled);
    }
    OperationResult cancel_job(const std::string& job_id) override { return cups::cancel_job(job_id); }
    OperationResult retry_job(const std::string& job_id) override { return cups::retry_job(job_id); }
    Result<PrinterOptions> printer_options(const std::string& queue) override {
        return cups::printer_options(queue);
    }
    OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                                   const JobOptions& options,
                                   std::optional<std::uint32_t> document_pages) override {
        return cups::print_document(queue, document, options, document_pages);
    }
    Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings) override {
        // One scan at a time: a second one on the same device would find it busy.
        std::lock_guard lock(m_scan_mutex);
        return sane::scan_page(m_helper, scanner_id, settings);
    }
    Result<ScanEnd> scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                               const PageSink& on_page, std::stop_token stop) override {
        std::lock_guard lock(m_scan_mutex);
        return sane::scan_pages(m_helper, scanner_id, settings, on_page, std::move(stop));
    }

  private:
    sane::HelperSetup m_helper;
    sane::ScannerList m_scanners;
    std::mutex m_scan_mutex;
};
}  // namespace

std::shared_ptr<Service> detail::make_system_service(detail::ScannerSide scanners) {
    return std::make_shared<SystemService>(std::move(scanners));
}

std::shared_ptr<Service> make_system_service() {
    return detail::make_system_service(detail::ScannerSide{});
}

}  // namespace os_actions::printing
