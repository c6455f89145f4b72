// Placeholder until the CUPS + SANE service lands: every call reports that no service is reachable.
#include "printing/printing.h"

namespace os_actions::printing {

namespace {
class UnavailableService final : public Service {
    static std::unexpected<std::string> none() { return std::unexpected(std::string("print service unavailable")); }

public:
    Result<std::vector<PrintQueue>> queues() override { return none(); }
    Result<std::vector<PrintJob>> jobs() override { return none(); }
    Result<std::vector<Scanner>> scanners() override { return none(); }
    Result<std::vector<DriverlessPrinter>> discover_driverless() override { return none(); }
    Result<void> add_driverless(const std::string&, const std::string&) override { return none(); }
    Result<void> set_default(const std::string&) override { return none(); }
    Result<void> set_enabled(const std::string&, bool) override { return none(); }
    Result<void> cancel_job(const std::string&) override { return none(); }
    Result<void> retry_job(const std::string&) override { return none(); }
    Result<void> print_document(const std::string&, const std::filesystem::path&, std::uint16_t, bool) override {
        return none();
    }
    Result<Bytes> scan_page(const std::string&, const ScanSettings&) override { return none(); }
};
}  // namespace

std::shared_ptr<Service> make_system_service() { return std::make_shared<UnavailableService>(); }

}  // namespace os_actions::printing
