// The service's side of presswick-scan-helper: starts it for one request, holds each step to its
// deadline, and turns its frames into a result. A helper past its deadline is killed; one that crashes
// ends with a message. The calling process itself never loads SANE.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "printing/printing.h"

namespace os_actions::printing::sane {

struct Deadlines {
    std::chrono::milliseconds list{std::chrono::seconds(20)};   // start-up and enumeration together
    std::chrono::milliseconds open{std::chrono::seconds(30)};   // start-up, sane_open and the options
    std::chrono::milliseconds start{std::chrono::seconds(60)};  // a lamp warming up, a sheet being fed
    std::chrono::milliseconds read{std::chrono::seconds(30)};   // each sane_read
    std::chrono::milliseconds close{std::chrono::seconds(10)};  // closing the device after the answer
    std::chrono::milliseconds cancel{std::chrono::seconds(2)};  // ending after a cancel, else it is killed
};

struct HelperSetup {
    std::filesystem::path program = default_program();
    // Added to the helper's environment (such as SANE_CONFIG_DIR).
    std::vector<std::pair<std::string, std::string>> environment;
    Deadlines deadlines;

    // presswick-scan-helper shipped with the running program, else the one this build made.
    [[nodiscard]] static std::filesystem::path default_program();
};

[[nodiscard]] Result<std::vector<Scanner>> list_scanners(const HelperSetup& setup);
[[nodiscard]] Result<Bytes> scan_page(const HelperSetup& setup, const std::string& scanner_id,
                                      const ScanSettings& settings);
// Every page of one press (the whole feeder from sources 1 and 2), each step of each page held to its
// deadline. A stop asked for sends the helper SIGUSR1 (it cancels in SANE) and kills it after
// `deadlines.cancel` if the backend does not return.
[[nodiscard]] Result<ScanEnd> scan_pages(const HelperSetup& setup, const std::string& scanner_id,
                                         const ScanSettings& settings, const PageSink& on_page,
                                         std::stop_token stop = {});

}  // namespace os_actions::printing::sane
