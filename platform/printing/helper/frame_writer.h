// The helper's side of the frames on standard output (helper_frames.h). Page bytes are gathered into
// data frames of 64 KiB; any other frame sends what has gathered first. A parent that has gone away ends
// the helper (SIGPIPE, or exit on a failed write).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "helper_frames.h"

namespace os_actions::printing::helper {

class FrameWriter {
  public:
    void step(helper_frames::Kind kind) { send(kind, {}); }
    // Lets the service set the page's memory aside once instead of growing it as it arrives.
    void size_hint(std::uint64_t bound);
    void data(const std::uint8_t* bytes, std::size_t size);
    // `sources`: 'a' for a feeder, 'd' for two-sided, after a second NUL; left out when unknown.
    void scanner(std::string_view id, std::string_view name, std::optional<std::string_view> sources);
    void page_done() { send(helper_frames::Kind::page_done, {}); }
    void feeder_empty() { send(helper_frames::Kind::feeder_empty, {}); }
    void finished() { send(helper_frames::Kind::finished, {}); }
    void failed(std::string_view message);

  private:
    void send(helper_frames::Kind kind, std::string_view payload);
    void flush_data();

    std::vector<std::uint8_t> m_pending;
};

}  // namespace os_actions::printing::helper
