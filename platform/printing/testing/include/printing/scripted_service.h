// A print service for tests: answers from a table that the test fills and records every call.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "printing/printing.h"

namespace os_actions::printing {

class ScriptedService final : public Service {
  public:
    struct Answers {
        Result<std::vector<PrintQueue>> queues = std::vector<PrintQueue>{};
        Result<std::vector<PrintJob>> jobs = std::vector<PrintJob>{};
        Result<std::vector<Scanner>> scanners = std::vector<Scanner>{};
        Result<std::vector<DriverlessPrinter>> discovered = std::vector<DriverlessPrinter>{};
        OperationResult operation = {};  // the answer of every action call
        Result<Bytes> scan = std::unexpected(std::string("no scan scripted"));
        // What each queue's printer offers; a queue not named here fails to tell.
        std::map<std::string, Result<PrinterOptions>> printer_options;
        // The sides the feeder holds (sources 1 and 2); none: the feeder is empty.
        std::vector<Bytes> feeder;
    };
    // A server that asks who is there: every action call fails for want of credentials unless those
    // stored for `server` (set_server_credentials) are this user name and password; other stored ones
    // are refused and forgotten.
    struct SignIn {
        std::string server;
        std::string user;
        std::string password;
    };

    // Replace the answers (thread-safe; workers may be calling at the same time).
    void script(Answers answers);
    void set_operation_result(OperationResult result);
    void set_scan_result(Result<Bytes> result);
    void set_printer_options(const std::string& queue, Result<PrinterOptions> options);
    void set_feeder(std::vector<Bytes> sides);
    void require_sign_in(std::optional<SignIn> sign_in);
    // Every call so far, as "name(arg,arg)" texts, in call order.
    [[nodiscard]] std::vector<std::string> calls() const;
    void clear_calls();

    Result<std::vector<PrintQueue>> queues() override;
    Result<std::vector<PrintJob>> jobs() override;
    Result<std::vector<Scanner>> scanners() override;
    Result<std::vector<DriverlessPrinter>> discover_driverless() override;
    OperationResult add_driverless(const std::string& uri, const std::string& name) override;
    OperationResult set_default(const std::string& queue) override;
    OperationResult set_enabled(const std::string& queue, bool enabled) override;
    OperationResult cancel_job(const std::string& job_id) override;
    OperationResult retry_job(const std::string& job_id) override;
    Result<PrinterOptions> printer_options(const std::string& queue) override;
    // Recorded as "print_document(queue,document,copies,two_sided[,pages])", followed by
    // " name=value" for each choice beyond copies and sides.
    OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                                   const JobOptions& options,
                                   std::optional<std::uint32_t> document_pages) override;
    Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings) override;
    Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names) override;
    Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids) override;
    // A watch that reports what report() is given, while it lives; none when the server is scripted
    // to refuse watching.
    std::unique_ptr<Watch> watch(ChangesCallback on_change) override;
    void refuse_watching(bool refuse);
    // Hands changes to every live watch, on the calling thread; false when no watch is live.
    bool report(const Changes& changes);
    // From the flatbed as scan_page; from the feeder every scripted side, until a stop is asked for.
    Result<ScanEnd> scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                               const PageSink& on_page, std::stop_token stop) override;

  private:
    struct Watchers;
    void record(std::string call);
    [[nodiscard]] OperationResult operation_answer() const;  // with m_mutex held
    mutable std::mutex m_mutex;
    Answers m_answers;
    std::optional<SignIn> m_sign_in;
    std::vector<std::string> m_calls;
    bool m_refuse_watching = false;
    std::shared_ptr<Watchers> m_watchers;
};

}  // namespace os_actions::printing
