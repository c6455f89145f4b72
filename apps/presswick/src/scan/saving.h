// Saving: the bytes of an exported page or a whole document, and the worker that writes them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "kora_ui/channel.h"
#include "notice.h"
#include "operation.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

// The path with "pdf" (document) or "png" (page) added when it has no extension.
[[nodiscard]] std::filesystem::path with_default_extension(std::filesystem::path path, bool document);
// What an exported page is written as: a name ending in ".jpg" or ".jpeg" (any case) asks for a JPEG;
// any other keeps the page's own image bytes (a PNG once edited, the scanner's file before).
enum class ExportFormat : std::uint8_t { page_bytes, jpeg };
[[nodiscard]] ExportFormat export_format_for(const std::filesystem::path& path);
inline constexpr int export_jpeg_quality = 90;

// The whole document as a PDF file, pages in order.
[[nodiscard]] Bytes build_document_pdf(const std::vector<ScannedPage>& pages);
// Starts "kora-save-scanned-page": replaces the file at `path` with `bytes` (base::replace_file) and posts
// OperationFinished with one of the two notices. False when the thread could not be created.
[[nodiscard]] bool start_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                                     Bytes bytes, Notice success, Notice failure);
// The same for an exported page, in the format its name asks for (export_format_for); a JPEG is
// encoded on the worker, and a page that cannot be encoded posts `failure`.
[[nodiscard]] bool start_page_export_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                                            const ScannedPage& page, Notice success, Notice failure);
// The same for a whole document: the worker builds the PDF of `pages` (their buffers are shared, not
// copied), so the window goes on answering while it compresses; a save that worked also carries
// `document_version`. An empty PDF posts nothing.
[[nodiscard]] bool start_document_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                                              std::vector<ScannedPage> pages, Notice success, Notice failure,
                                              std::uint64_t document_version);

}  // namespace presswick::scan
