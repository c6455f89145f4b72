#include "frame_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace os_actions::printing::helper {

namespace {

constexpr std::size_t data_frame_bytes = 64 * 1024;

void write_all(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            std::_Exit(3);  // nobody is listening any more
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void write_frame(helper_frames::Kind kind, const std::uint8_t* payload, std::size_t size) {
    const auto header = helper_frames::header(kind, static_cast<std::uint32_t>(size));
    write_all(header.data(), header.size());
    write_all(payload, size);
}

}  // namespace

void FrameWriter::data(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const std::size_t take = std::min(size, data_frame_bytes - m_pending.size());
        m_pending.insert(m_pending.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
        if (m_pending.size() == data_frame_bytes) {
            flush_data();
        }
    }
}

void FrameWriter::size_hint(std::uint64_t bound) {
    std::string payload(8, '\0');
    for (int i = 0; i < 8; ++i) {
        payload[static_cast<std::size_t>(i)] = static_cast<char>(bound >> (56 - 8 * i));
    }
    send(helper_frames::Kind::size_hint, payload);
}

void FrameWriter::scanner(std::string_view id, std::string_view name,
                          std::optional<std::string_view> sources) {
    std::string payload(id);
    payload += '\0';
    payload += name;
    if (sources) {
        payload += '\0';
        payload += *sources;
    }
    send(helper_frames::Kind::scanner, payload);
}

void FrameWriter::failed(std::string_view message) {
    send(helper_frames::Kind::failed, message.substr(0, 4096));
}

void FrameWriter::send(helper_frames::Kind kind, std::string_view payload) {
    flush_data();
    write_frame(kind, reinterpret_cast<const std::uint8_t*>(payload.data()),
                std::min<std::size_t>(payload.size(), helper_frames::max_payload));
}

void FrameWriter::flush_data() {
    if (!m_pending.empty()) {
        write_frame(helper_frames::Kind::data, m_pending.data(), m_pending.size());
        m_pending.clear();
    }
}

}  // namespace os_actions::printing::helper
