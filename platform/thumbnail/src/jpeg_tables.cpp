#include "jpeg_tables.h"

#include <cstddef>

namespace thumbnail::detail {

namespace {

// One DHT segment's payload: tables of a class/id byte, 16 counts and the symbols they count.
bool tables_sound(std::span<const std::uint8_t> payload) {
    std::size_t at = 0;
    while (at < payload.size()) {
        if (payload.size() - at < 17) {
            return false;
        }
        std::size_t codes = 0;
        for (std::size_t i = 1; i <= 16; ++i) {
            codes += payload[at + i];
        }
        if (codes > 256 || payload.size() - at - 17 < codes) {
            return false;
        }
        at += 17 + codes;
    }
    return true;
}

}  // namespace

bool jpeg_tables_sound(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return true;  // not a JPEG: nothing of this reader runs
    }
    // Every marker in the file: segments before a scan, and those between the scans of a progressive
    // file, which the reader handles too. Entropy-coded data holds no 0xFF but stuffed (FF 00) or restarts.
    std::size_t at = 2;
    while (at + 1 < bytes.size()) {
        if (bytes[at] != 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) {
            at += marker == 0xFF ? 1 : 2;  // fill byte, stuffed zero, restart, standalone
            continue;
        }
        if (marker == 0xD9) {
            return true;  // end of image
        }
        if (at + 3 >= bytes.size()) {
            return true;  // a cut file: the reader fails on it by itself
        }
        const std::size_t length = std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length < 2) {
            return true;  // the reader refuses such a segment itself
        }
        const std::size_t end = at + 2 + length;
        // A broken or cut table is refused too: the reader would fail on it anyway.
        const std::size_t present_end = end < bytes.size() ? end : bytes.size();
        if (marker == 0xC4 && !tables_sound(bytes.subspan(at + 4, present_end - (at + 4)))) {
            return false;
        }
        at = end;
    }
    return true;
}

}  // namespace thumbnail::detail
