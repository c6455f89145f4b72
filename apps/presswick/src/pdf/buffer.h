// An owned byte block that is not zero-filled, so a compressor can write straight into it and
// the pages it never reaches are never made resident.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace presswick::pdf {

class Buffer {
  public:
    Buffer() = default;
    // Room for `capacity` bytes, size 0, contents undefined until written.
    [[nodiscard]] static Buffer with_capacity(std::size_t capacity);
    [[nodiscard]] static Buffer copy_of(std::string_view text);

    [[nodiscard]] std::uint8_t* data() { return m_bytes.get(); }
    [[nodiscard]] std::size_t capacity() const { return m_capacity; }
    [[nodiscard]] std::size_t size() const { return m_size; }
    // Clamped to the capacity.
    void set_size(std::size_t size) { m_size = size < m_capacity ? size : m_capacity; }
    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return {m_bytes.get(), m_size}; }

  private:
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

}  // namespace presswick::pdf
