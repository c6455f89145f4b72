#include "scan/saving.h"

#include <utility>

#include "base/replace_file.h"
#include "pdf/pdf_writer.h"
#include "scan/page_image.h"
#include "workers.h"

namespace presswick::scan {

std::filesystem::path with_default_extension(std::filesystem::path path, bool document) {
    // A path without a last component (a directory root) is left as it is; writing to it fails later.
    if (path.has_filename() && !path.has_extension()) {
        path += document ? ".pdf" : ".png";
    }
    return path;
}

ExportFormat export_format_for(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (auto& c : extension) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return extension == ".jpg" || extension == ".jpeg" ? ExportFormat::jpeg : ExportFormat::page_bytes;
}

Bytes build_document_pdf(const std::vector<ScannedPage>& pages) {
    // The writer converts the RGBA pixels a page at a time while it compresses.
    std::vector<pdf::PdfPageInput> inputs;
    inputs.reserve(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto& page = pages[i];
        pdf::PdfPageInput input{{}, page.text.value_or(std::string()), page.width, page.height};
        // Boxes belong with the text they were read with; a page without text has none.
        if (page.text && page.words) {
            input.words = *page.words;
        }
        const std::size_t length = std::size_t{page.width} * page.height * 4;
        // A page whose pixels are missing or short is left out by the writer.
        if (page.pixels && page.pixels->size() >= length) {
            input.rgba = std::span<const std::uint8_t>(page.pixels->data(), length);
        }
        inputs.push_back(std::move(input));
    }
    return std::make_shared<const std::vector<std::uint8_t>>(pdf::write_pdf(inputs));
}

namespace {

// Writes the file and posts the outcome; nothing when there are no bytes to write.
void write_and_report(const kora_ui::Sender<Operation>& sender, const std::filesystem::path& path,
                      const Bytes& bytes, Notice success, Notice failure,
                      std::optional<std::uint64_t> document_version) {
    if (!bytes || bytes->empty()) {
        return;
    }
    const bool ok = base::replace_file(path, *bytes).has_value();  // the system error is not reported
    (void)sender.send(ok ? OperationFinished{std::move(success), document_version}
                         : OperationFinished{std::move(failure), std::nullopt});
}

}  // namespace

bool start_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path, Bytes bytes,
                       Notice success, Notice failure) {
    if (!bytes) {
        return false;
    }
    return workers::spawn_worker(
        "kora-save-scanned-page",
        [sender = std::move(sender), path = std::move(path), bytes = std::move(bytes),
         success = std::move(success), failure = std::move(failure)]() mutable {
            write_and_report(sender, path, bytes, std::move(success), std::move(failure), std::nullopt);
        });
}

bool start_page_export_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                              const ScannedPage& page, Notice success, Notice failure) {
    if (export_format_for(path) == ExportFormat::page_bytes) {
        return start_save_worker(std::move(sender), std::move(path), page.encoded, std::move(success),
                                 std::move(failure));
    }
    if (!page.pixels) {
        return false;
    }
    return workers::spawn_worker(
        "kora-save-scanned-page",
        [sender = std::move(sender), path = std::move(path), pixels = page.pixels, width = page.width,
         height = page.height, success = std::move(success), failure = std::move(failure)]() mutable {
            auto jpeg = encode_jpeg(*pixels, width, height, export_jpeg_quality);
            if (!jpeg) {
                (void)sender.send(OperationFinished{std::move(failure), std::nullopt});
                return;
            }
            write_and_report(sender, path, *jpeg, std::move(success), std::move(failure), std::nullopt);
        });
}

bool start_document_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path,
                                std::vector<ScannedPage> pages, Notice success, Notice failure,
                                std::uint64_t document_version) {
    return workers::spawn_worker(
        "kora-save-scanned-page",
        [sender = std::move(sender), path = std::move(path), pages = std::move(pages),
         success = std::move(success), failure = std::move(failure), document_version]() mutable {
            const Bytes bytes = build_document_pdf(pages);
            pages.clear();  // the pixels are no longer needed while the file is written
            write_and_report(sender, path, bytes, std::move(success), std::move(failure), document_version);
        });
}

}  // namespace presswick::scan
