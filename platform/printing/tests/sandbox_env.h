// Shared by the integration tests: whether the private print system is what libcups points at, a
// private HOME for every test process, PNG header reading, a polling wait and an extra virtual printer.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

// One more virtual printer (ippeveprinter) on a free loopback port, spooling into `spool`, for as long as
// the test needs it. `extra` holds further options, such as "-2" for both sides.
class VirtualPrinter {
  public:
    VirtualPrinter(const std::filesystem::path& spool, const std::string& model,
                   const std::vector<std::string>& extra = {}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::close(fd);
        std::filesystem::create_directories(spool);
        const std::string port = std::to_string(m_port);
        const std::string name = "Acme " + model;
        std::vector<const char*> argv{"ippeveprinter",
                                      "-p",
                                      port.c_str(),
                                      "-n",
                                      "localhost",
                                      "-d",
                                      spool.c_str(),
                                      "-f",
                                      "application/pdf,image/pwg-raster",
                                      "-M",
                                      "Acme",
                                      "-m",
                                      model.c_str()};
        for (const auto& option : extra) {
            argv.push_back(option.c_str());
        }
        argv.push_back(name.c_str());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execvp("ippeveprinter", const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
    }
    ~VirtualPrinter() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;
    [[nodiscard]] std::string uri() const {
        return "ipp://localhost:" + std::to_string(m_port) + "/ipp/print";
    }

  private:
    int m_port = 0;
    pid_t m_pid = -1;
};

}  // namespace printing_test
