#include "scan/print_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/unique_fd.h"
#include "scan/saving.h"
#include "workers.h"

namespace presswick::scan {

namespace {

constexpr const char* kFileName = "Scanned document.pdf";

std::string error_text(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::expected<std::shared_ptr<const PrintCopy>, std::string> PrintCopy::write(
    std::span<const std::uint8_t> pdf) {
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        base = "/tmp";
    }
    std::string folder = (base / "presswick-scanned-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {  // made 0700
        return std::unexpected(error_text("could not make a temporary folder"));
    }
    const std::string file = (std::filesystem::path(folder) / kFileName).string();
    base::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.is_open()) {
        auto error = error_text("could not create the document");
        (void)::rmdir(folder.c_str());
        return std::unexpected(std::move(error));
    }
    std::shared_ptr<const PrintCopy> copy(new PrintCopy(file));
    std::size_t written = 0;
    while (written < pdf.size()) {
        const ssize_t n = ::write(fd.get(), pdf.data() + written, pdf.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::unexpected(error_text("could not write the document"));  // the copy's end removes it
        }
        written += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd.get()) == 0;
    if (!fd.close() || !synced) {
        return std::unexpected(error_text("could not write the document"));
    }
    return copy;
}

PrintCopy::~PrintCopy() {
    (void)::unlink(m_path.c_str());
    (void)::rmdir(m_path.parent_path().c_str());
}

bool start_print_copy_worker(kora_ui::Sender<Operation> sender, std::vector<ScannedPage> pages) {
    return workers::spawn_worker("kora-print-scanned-document", [sender = std::move(sender),
                                                                 pages = std::move(pages)]() mutable {
        const Bytes pdf = build_document_pdf(pages);
        pages.clear();
        if (!pdf || pdf->empty()) {
            (void)sender.send(PrintCopyMade{std::unexpected(std::string("the document could not be made"))});
            return;
        }
        (void)sender.send(PrintCopyMade{PrintCopy::write(*pdf)});
    });
}

}  // namespace presswick::scan
