// Pages and images made up for the scanning tests, and waiting for a worker's operation.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kora_ui/channel.h"
#include "operation.h"
#include "scan/scanned_page.h"

namespace presswick::scan_test {

// Every pixel different: (x, y, x ^ y, 255) modulo 256, so a wrong pixel move shows.
[[nodiscard]] std::vector<std::uint8_t> pattern_rgba(std::uint32_t width, std::uint32_t height);
[[nodiscard]] Bytes pattern_png(std::uint32_t width, std::uint32_t height);
// A page as a scan leaves it: PNG bytes, their RGBA pixels, a text.
[[nodiscard]] ScannedPage pattern_page(std::uint32_t width, std::uint32_t height,
                                       std::optional<std::string> text = "scanned words");
[[nodiscard]] std::optional<Operation> wait_for(kora_ui::Receiver<Operation>& receiver,
                                                std::chrono::milliseconds limit = std::chrono::seconds(20));
[[nodiscard]] std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
// A fresh directory under the system's temporary directory, removed by the destructor.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

}  // namespace presswick::scan_test
