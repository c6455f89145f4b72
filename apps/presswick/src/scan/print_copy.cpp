#include "scan/print_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "scan/saving.h"
#include "workers.h"

namespace presswick::scan {

namespace {

constexpr const char* kFileName = "Scanned document.pdf";

// Live copies, for a signal handler: a slot is claimed, filled, then marked ready; removal takes it back.
struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 ready
    std::array<char, 4096> folder{};
    std::array<char, 4096> file{};
};
std::array<Slot, 16> g_slots;

int claim(const std::string& folder, const std::string& file) {
    if (folder.size() >= 4096 || file.size() >= 4096) {
        return -1;
    }
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].folder.data(), folder.c_str(), folder.size() + 1);
            std::memcpy(g_slots[i].file.data(), file.c_str(), file.size() + 1);
            g_slots[i].state.store(2);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void remove_files(const char* file, const char* folder) noexcept {
    (void)::unlink(file);
    (void)::rmdir(folder);
}

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
    const int slot = claim(folder, file);
    std::shared_ptr<const PrintCopy> copy(new PrintCopy(file, slot));
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
    if (m_slot >= 0) {
        auto& slot = g_slots[static_cast<std::size_t>(m_slot)];
        int expected = 2;
        if (!slot.state.compare_exchange_strong(expected, 1)) {
            return;  // the program's end has removed it already
        }
        slot.state.store(0);
    }
    remove_files(m_path.c_str(), m_path.parent_path().c_str());
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

void remove_live_print_copies() noexcept {
    for (auto& slot : g_slots) {
        int expected = 2;
        if (slot.state.compare_exchange_strong(expected, 1)) {
            remove_files(slot.file.data(), slot.folder.data());
        }
    }
}

}  // namespace presswick::scan
