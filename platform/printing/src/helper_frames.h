// What presswick-scan-helper writes on its standard output: a sequence of frames, each one kind byte, a
// 4-byte big-endian payload length and the payload. Step frames tell the service which SANE call comes
// next, so that it can hold that call to its own deadline; every frame renews the current step's deadline.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace os_actions::printing::helper_frames {

enum class Kind : std::uint8_t {
    opening = 'o',       // SANE start-up, sane_open and the options come next
    starting = 's',      // sane_start comes next
    reading = 'r',       // a sane_read comes next
    size_hint = 'z',     // payload: 8-byte big-endian upper bound of the encoded page's size
    data = 'd',          // payload: the next bytes of the encoded page
    scanner = 'n',       // payload: a scanner's id, a NUL, its display name
    page_done = 'p',     // the data frames since the last page_done (or the start) make one whole page
    feeder_empty = 'm',  // the feeder held no sheet when the scan began; the helper closes and exits
    finished = 'f',      // the answer is complete; the helper closes the device and exits
    failed = 'e',        // payload: the failure message; the helper closes the device and exits
};

constexpr std::size_t header_size = 5;
constexpr std::uint32_t max_payload = 1u << 20;

[[nodiscard]] constexpr std::array<std::uint8_t, header_size> header(Kind kind, std::uint32_t length) {
    return {static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(length >> 24),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length)};
}

[[nodiscard]] constexpr std::uint32_t payload_length(const std::uint8_t* header) {
    return std::uint32_t{header[1]} << 24 | std::uint32_t{header[2]} << 16 | std::uint32_t{header[3]} << 8 |
           header[4];
}

[[nodiscard]] constexpr bool is_known(std::uint8_t kind) {
    for (const char k : {'o', 's', 'r', 'z', 'd', 'n', 'p', 'm', 'f', 'e'}) {
        if (kind == static_cast<std::uint8_t>(k)) {
            return true;
        }
    }
    return false;
}

}  // namespace os_actions::printing::helper_frames
