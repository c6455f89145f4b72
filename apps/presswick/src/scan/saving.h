// Saving: the bytes of an exported page or a whole document, and the worker that writes them.
#pragma once

#include <filesystem>
#include <vector>

#include "kora_ui/channel.h"
#include "notice.h"
#include "operation.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

// The path with "pdf" (document) or "png" (page) added when it has no extension.
[[nodiscard]] std::filesystem::path with_default_extension(std::filesystem::path path, bool document);
// The whole document as a PDF file, pages in order.
[[nodiscard]] Bytes build_document_pdf(const std::vector<ScannedPage>& pages);
// Starts "kora-save-scanned-page": writes `bytes` to `path` (mode 0600, truncate, fsync) and posts
// OperationFinished with one of the two notices. False when the thread could not be created.
[[nodiscard]] bool start_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                                     Bytes bytes, Notice success, Notice failure);

}  // namespace presswick::scan
