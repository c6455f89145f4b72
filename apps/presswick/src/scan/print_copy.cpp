#include "scan/print_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        auto error = error_text("could not create the document");
        (void)::rmdir(folder.c_str());
        return std::unexpected(std::move(error));
    }
    std::shared_ptr<const PrintCopy> copy(new PrintCopy(file));
    std::size_t written = 0;
    while (written < pdf.size()) {
        const ssize_t n = ::write(fd, pdf.data() + written, pdf.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            auto error = error_text("could not write the document");
            ::close(fd);
            return std::unexpected(std::move(error));  // the copy's end removes the file
        }
        written += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !synced) {
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
