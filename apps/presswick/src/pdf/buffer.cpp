#include "pdf/buffer.h"

#include <cstring>

namespace presswick::pdf {

Buffer Buffer::with_capacity(std::size_t capacity) {
    Buffer buffer;
    if (capacity > 0) {
        buffer.m_bytes = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        buffer.m_capacity = capacity;
    }
    return buffer;
}

Buffer Buffer::copy_of(std::string_view text) {
    Buffer buffer = with_capacity(text.size());
    if (!text.empty()) {
        std::memcpy(buffer.data(), text.data(), text.size());
    }
    buffer.set_size(text.size());
    return buffer;
}

}  // namespace presswick::pdf
