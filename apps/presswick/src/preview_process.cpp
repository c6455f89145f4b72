#include "preview_process.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/files.h"
#include "bounded_command/bounded_command.h"
#include "bounded_command/companion.h"

namespace presswick {

namespace {

constexpr std::uint32_t kPreviewSide = 720;
constexpr std::size_t kHeaderBytes = 12;
#if defined(__SANITIZE_ADDRESS__)
// An address-sanitized helper reserves terabytes of shadow address space at start: such test builds run
// it without the limit.
constexpr std::optional<std::size_t> kMemoryLimit;
#else
constexpr std::optional<std::size_t> kMemoryLimit = std::size_t{1} << 30;
#endif
constexpr std::chrono::seconds kTimeLimit{10};

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

}  // namespace

std::vector<std::string> preview_environment() {
    auto kept = bounded_command::basic_environment();
    // Fonts: fontconfig's own settings and where the user's fonts are.
    for (const char* name : {"HOME", "FONTCONFIG_FILE", "FONTCONFIG_PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                             "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_CACHE_HOME"}) {
        kept.emplace_back(name);
    }
    return kept;
}

std::filesystem::path preview_helper_path() {
    constexpr const char* name = "presswick-preview";
    return bounded_command::companion_program(name).value_or(name);  // missing: the preview is unavailable
}

PreviewResult render_preview(const std::filesystem::path& document, const std::function<bool()>& keep_going,
                             std::uint32_t page) {
    if (!base::is_readable_regular_file(document)) {
        return std::nullopt;
    }
    bounded_command::PreparedCommand command{
        preview_helper_path().string(),
        {document.string(), std::to_string(kPreviewSide), std::to_string(page)},
        {},
        kMemoryLimit};
    // It parses whatever the user picked: no bus address, no way to more rights, killed with us, and a
    // processor limit of its own a little above the time limit (the helper confines itself further).
    command.confinement.no_new_privileges = true;
    command.confinement.dies_with_us = true;
    command.confinement.kept_environment = preview_environment();
    command.confinement.cpu_limit = kTimeLimit + std::chrono::seconds(2);
    const std::size_t most = kHeaderBytes + std::size_t{kPreviewSide} * kPreviewSide * 4;
    auto run = bounded_command::run_prepared_with_limits(command, std::nullopt, most, 64 * 1024, kTimeLimit,
                                                         keep_going);
    if (!run || !run->status.success() || run->stdout_bytes.size() < kHeaderBytes) {
        return std::nullopt;
    }
    const auto& bytes = run->stdout_bytes;
    const std::uint32_t width = u32_at(bytes, 0);
    const std::uint32_t height = u32_at(bytes, 4);
    if (width == 0 || height == 0 || width > kPreviewSide || height > kPreviewSide ||
        bytes.size() != kHeaderBytes + std::size_t{width} * height * 4) {
        return std::nullopt;
    }
    PreviewImage image;
    image.rgba = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin() + kHeaderBytes, bytes.end());
    image.width = width;
    image.height = height;
    image.pages = u32_at(bytes, 8);
    image.page = page;
    return image;
}

}  // namespace presswick
