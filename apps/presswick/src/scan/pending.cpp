// Stand-ins until scanning lands; each function moves to its own file then.
#include "scan/page_editing.h"
#include "scan/saving.h"
#include "scan/scan_worker.h"

namespace presswick::scan {

bool start_scan_worker(kora_ui::Sender<Operation>, ScanRequest) {
    return false;
}
bool start_recognition_worker(kora_ui::Sender<Operation>, const ScannedPage&) {
    return false;
}
std::expected<void, std::string> rotate_page(ScannedPage&) {
    return std::unexpected(std::string("not available"));
}
std::expected<void, std::string> crop_page(ScannedPage&, const kora_ui::CropSelection&) {
    return std::unexpected(std::string("not available"));
}
std::filesystem::path with_default_extension(std::filesystem::path path, bool document) {
    if (!path.has_extension()) {
        path.replace_extension(document ? "pdf" : "png");
    }
    return path;
}
Bytes build_document_pdf(const std::vector<ScannedPage>&) {
    return std::make_shared<const std::vector<std::uint8_t>>();
}
bool start_save_worker(kora_ui::Sender<Operation>, std::filesystem::path, Bytes, Notice, Notice) {
    return false;
}

}  // namespace presswick::scan
