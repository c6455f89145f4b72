// The temporary PNG handed to the engine: created exclusively in the system's temporary directory,
// owner-only, and removed when the owner goes away, whatever happened in between.
#pragma once

#include <expected>
#include <filesystem>

#include "base/unique_fd.h"
#include "live_files/live_files.h"
#include "ocr/types.h"

namespace ocr {

class TempPng {
  public:
    // A new, empty file named ".tmp" + 6 random letters or digits + ".png"; `io_failure` when none can be
    // made.
    [[nodiscard]] static std::expected<TempPng, OcrError> create();

    TempPng(TempPng&& other) noexcept;
    TempPng& operator=(TempPng&&) = delete;
    TempPng(const TempPng&) = delete;
    TempPng& operator=(const TempPng&) = delete;
    ~TempPng();

    // Writes the image as an 8-bit grayscale PNG whose data is stored uncompressed; `image_encoding` on
    // failure.
    [[nodiscard]] std::expected<void, OcrError> write(const GrayImage& image);

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    TempPng(std::filesystem::path path, base::UniqueFd fd, live_files::LiveFile live)
        : m_path(std::move(path)), m_fd(std::move(fd)), m_live(std::move(live)) {}

    std::filesystem::path m_path;
    base::UniqueFd m_fd;
    live_files::LiveFile m_live;  // what remove_live_temp_files removes
};

// Removes every temporary PNG that is still alive (with every other live file of the process). Only
// async-signal-safe calls: a signal handler may call it, and so may the end of the program, so that no page
// image outlives the process while detached recognitions still hold theirs.
void remove_live_temp_files() noexcept;

// The image as an 8-bit grayscale PNG in memory, or the PNG library's error.
[[nodiscard]] std::expected<std::vector<std::uint8_t>, std::string> encode_gray_png(const GrayImage& image);

}  // namespace ocr
