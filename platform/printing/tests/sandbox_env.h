// Shared by the integration tests: whether the private print system is what libcups points at, a
// private HOME for every test process, PNG header reading and a polling wait.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace printing_test {

// The sandbox marks its directory; CUPS_SERVER names the socket inside it.
inline bool sandbox_running() {
    const char* server = std::getenv("CUPS_SERVER");
    if (!server || !*server) {
        return false;
    }
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(server).parent_path() / ".presswick-sandbox", ec);
}

#define REQUIRE_SANDBOX()                                                                                  \
    do {                                                                                                   \
        if (!printing_test::sandbox_running()) {                                                           \
            GTEST_SKIP() << "CUPS_SERVER does not point at the private print system (scripts/sandbox.sh)"; \
        }                                                                                                  \
    } while (0)

// A fresh HOME, so that nothing a test does can reach the user's own files. Call before any thread.
inline std::filesystem::path use_private_home() {
    std::string pattern = (std::filesystem::temp_directory_path() / "presswick-test-home.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::abort();
    }
    ::setenv("HOME", pattern.c_str(), 1);
    return pattern;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class Pred>
bool wait_until(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return pred();
}

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bit_depth = 0;
    int colour_type = 0;  // 0 grey, 2 RGB
};

inline std::optional<PngHeader> png_header(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 33 || !std::equal(signature, signature + 8, bytes.begin()) ||
        std::string(bytes.begin() + 12, bytes.begin() + 16) != "IHDR") {
        return std::nullopt;
    }
    auto be32 = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
               std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    };
    return PngHeader{be32(16), be32(20), bytes[24], bytes[25]};
}

}  // namespace printing_test
