// The real service with a scanner side set up by the caller (helper, its environment, its deadlines):
// for tests and benchmarks that need a private SANE configuration or short deadlines.
#pragma once

#include <chrono>

#include "printing/printing.h"
#include "scan_helper_client.h"

namespace os_actions::printing::detail {

struct ScannerSide {
    sane::HelperSetup helper;
    std::chrono::milliseconds first_list_wait{std::chrono::seconds(4)};
};

[[nodiscard]] std::shared_ptr<Service> make_system_service(ScannerSide scanners);

}  // namespace os_actions::printing::detail
