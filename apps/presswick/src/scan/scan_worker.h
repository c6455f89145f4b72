// The two workers that make page text: a new scan ("kora-scan-document") and a re-recognition
// ("kora-recognize-scanned-page"). Both post their outcome as an Operation.
#pragma once

#include <string>

#include "kora_ui/channel.h"
#include "operation.h"
#include "printing/printing.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

struct ScanRequest {
    std::string scanner_id;
    os_actions::printing::ScanSettings settings;
    std::string language_code;  // "eng", "deu", "fra", "spa"
    std::string language_name;  // "English", "German", "French", "Spanish"
    std::uint64_t serial = 0;   // carried by every outcome of this press
};

// Starts "kora-scan-document", which posts PageScanned for each page in the order the scanner gives
// them (recognised by "kora-scan-pages" while the next sheet is read), then ScanEnded. A stop
// requested cancels the scan after the sheet being read. False when a thread could not be created.
[[nodiscard]] bool start_scan_worker(kora_ui::Sender<Operation> sender, ScanRequest request,
                                     std::stop_token stop = {});
// Starts "kora-recognize-scanned-page" on a copy of the page's shared buffers; posts PageRecognized.
[[nodiscard]] bool start_recognition_worker(kora_ui::Sender<Operation> sender, const ScannedPage& page);

}  // namespace presswick::scan
