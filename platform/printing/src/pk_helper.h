// The system's polkit mechanism for printing (cups-pk-helper on the D-Bus system bus): it performs an
// operation with the server's administrative rights once polkit has authorised the caller, asking
// through the desktop's authentication agent when the rules say so.
#pragma once

#include <string>

#include "printing/printing.h"

namespace os_actions::printing::cups::pk {

[[nodiscard]] Result<void> printer_set_enabled(const std::string& queue, bool enabled);
[[nodiscard]] Result<void> printer_set_accept_jobs(const std::string& queue, bool accept);
[[nodiscard]] Result<void> printer_set_shared(const std::string& queue, bool shared);
[[nodiscard]] Result<void> printer_add(const std::string& queue, const std::string& device_uri,
                                       const std::string& model, const std::string& info,
                                       const std::string& location);
[[nodiscard]] Result<void> job_cancel(int job_id);
[[nodiscard]] Result<void> job_restart(int job_id);
[[nodiscard]] Result<void> job_release(int job_id);

}  // namespace os_actions::printing::cups::pk
