// The CUPS half of the system print service: queues, jobs and every printer and job operation,
// through libcups (the server and per-user settings libcups itself reads: CUPS_SERVER, client.conf).
#pragma once

#include "printing/printing.h"

namespace os_actions::printing::cups {

[[nodiscard]] Result<std::vector<PrintQueue>> queues();
[[nodiscard]] Result<std::vector<PrintJob>> jobs();
[[nodiscard]] Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names);
[[nodiscard]] Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids);
[[nodiscard]] Result<std::vector<DriverlessPrinter>> discover_driverless();
[[nodiscard]] OperationResult add_driverless(const std::string& uri, const std::string& name);
[[nodiscard]] OperationResult set_default(const std::string& queue);
[[nodiscard]] OperationResult set_enabled(const std::string& queue, bool enabled);
[[nodiscard]] OperationResult cancel_job(const std::string& job_id);
[[nodiscard]] OperationResult retry_job(const std::string& job_id);
[[nodiscard]] OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                                             const JobOptions& options,
                                             std::optional<std::uint32_t> document_pages);
// What the queue's printer supports and its defaults (cups_dest_options.cpp).
[[nodiscard]] Result<PrinterOptions> printer_options(const std::string& queue);

}  // namespace os_actions::printing::cups
