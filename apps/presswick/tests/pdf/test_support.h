// Helpers of the PDF writer tests: reading objects back out of a file, inflating, synthetic pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace presswick::pdf::testing {

[[nodiscard]] std::string as_text(const std::vector<std::uint8_t>& bytes);

// The bodies of the objects, in number order, found through the cross-reference table; checks on
// the way that each entry points at "{n} 0 obj\n" and that the body ends with "\nendobj\n".
[[nodiscard]] std::vector<std::string> object_bodies(const std::string& file);

// The data of a stream body (what follows "stream\n", up to the last "\nendstream").
[[nodiscard]] std::string stream_data(const std::string& body);

// zlib's own inflate; nothing when the data is not a complete zlib stream.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> inflate(std::string_view data,
                                                               std::size_t expected_size);

// A page of white paper with dark lines of blocks and a little noise; deterministic per seed.
[[nodiscard]] std::vector<std::uint8_t> synthetic_page(std::uint32_t width, std::uint32_t height,
                                                       std::uint32_t seed);

}  // namespace presswick::pdf::testing
