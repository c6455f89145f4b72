// The real print service: CUPS for printers and jobs, SANE (on its one owner thread) for scanners.
#include "cups_client.h"
#include "printing/printing.h"
#include "sane_owner.h"

namespace os_actions::printing {

namespace {
class SystemService final : public Service {
  public:
    Result<std::vector<PrintQueue>> queues() override { return cups::queues(); }
    Result<std::vector<PrintJob>> jobs() override { return cups::jobs(); }
    Result<std::vector<Scanner>> scanners() override { return sane::scanners(); }
    Result<std::vector<DriverlessPrinter>> discover_driverless() override {
        return cups::discover_driverless();
    }
    Result<void> add_driverless(const std::string& uri, const std::string& name) override {
        return cups::add_driverless(uri, name);
    }
    Result<void> set_default(const std::string& queue) override { return cups::set_default(queue); }
    Result<void> set_enabled(const std::string& queue, bool enabled) override {
        return cups::set_enabled(queue, enabled);
    }
    Result<void> cancel_job(const std::string& job_id) override { return cups::cancel_job(job_id); }
    Result<void> retry_job(const std::string& job_id) override { return cups::retry_job(job_id); }
    Result<void> print_document(const std::string& queue, const std::filesystem::path& document,
                                std::uint16_t copies, bool two_sided) override {
        return cups::print_document(queue, document, copies, two_sided);
    }
    Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings) override {
        return sane::scan_page(scanner_id, settings);
    }
};
}  // namespace

std::shared_ptr<Service> make_system_service() {
    return std::make_shared<SystemService>();
}

}  // namespace os_actions::printing
