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
#include "live_files/live_files.h"
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
    explicit PrintCopy(std::filesystem::path path)
        : m_path(std::move(path)), m_live_folder(m_path.parent_path()), m_live_file(m_path) {}

    std::filesystem::path m_path;
    // The program's end removes what is still remembered: the file, then its folder.
    live_files::LiveFile m_live_folder;
    live_files::LiveFile m_live_file;
};

// Starts "kora-print-scanned-document": builds the PDF of `pages` (buffers shared), writes the copy and
// posts PrintCopyMade. False when the thread could not be created.
[[nodiscard]] bool start_print_copy_worker(kora_ui::Sender<Operation> sender, std::vector<ScannedPage> pages);

}  // namespace presswick::scan
