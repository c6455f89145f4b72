#include "scan_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "scan/page_image.h"

namespace presswick::scan_test {

std::vector<std::uint8_t> pattern_rgba(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = rgba.data() + (std::size_t{y} * width + x) * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x ^ y);
            p[3] = 255;
        }
    }
    return rgba;
}

Bytes pattern_png(std::uint32_t width, std::uint32_t height) {
    return scan::encode_png(pattern_rgba(width, height), width, height).value();
}

ScannedPage pattern_page(std::uint32_t width, std::uint32_t height, std::optional<std::string> text) {
    ScannedPage page;
    page.status = "Recognized 2 words.";
    page.language = "English";
    page.text = std::move(text);
    page.encoded = pattern_png(width, height);
    page.pixels = std::make_shared<const std::vector<std::uint8_t>>(pattern_rgba(width, height));
    page.width = width;
    page.height = height;
    return page;
}

std::optional<Operation> wait_for(kora_ui::Receiver<Operation>& receiver, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        auto got = receiver.try_recv();
        if (got.status == kora_ui::RecvStatus::value) {
            return std::move(got.value);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "presswick-scan-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace presswick::scan_test
