// The scanned document as a PDF for the print dialog: written to "Scanned document.pdf" in a folder of
// its own in the temporary directory, both owner-only. Whoever prints or previews it holds it; the file
// and its folder go when the last holder lets go, and at the end of the program whatever is left.
#pragma once

#include <expected>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kora_ui/channel.h"
#include "operation.h"
#include "scan/scanned_page.h"

namespace presswick::scan {

class PrintCopy {
  public:
    // Writes and syncs the bytes; the error says what failed.
    [[nodiscard]] static std::expected<std::shared_ptr<const PrintCopy>, std::string> write(
        std::span<const std::uint8_t> pdf);

    PrintCopy(const PrintCopy&) = delete;
    PrintCopy& operator=(const PrintCopy&) = delete;
    ~PrintCopy();

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    PrintCopy(std::filesystem::path path, int slot) : m_path(std::move(path)), m_slot(slot) {}

    std::filesystem::path m_path;
    int m_slot;  // where remove_live_print_copies finds it, or -1
};

// Starts "kora-print-scanned-document": builds the PDF of `pages` (buffers shared), writes the copy and
// posts PrintCopyMade. False when the thread could not be created.
[[nodiscard]] bool start_print_copy_worker(kora_ui::Sender<Operation> sender, std::vector<ScannedPage> pages);

// Removes every print copy still alive, with async-signal-safe calls only (the program's end, SIGTERM).
void remove_live_print_copies() noexcept;

}  // namespace presswick::scan
