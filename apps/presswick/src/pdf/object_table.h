// The writer's object table and the file layout around it: header, objects, cross-reference table,
// trailer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/buffer.h"

namespace presswick::pdf {

// Objects are numbered by position from 1, generation 0. A body is kept as text plus, for a stream,
// its data block by itself, so an image's compressed bytes are copied once: into the file.
class ObjectTable {
  public:
    // Appends a body; returns its number.
    std::size_t add_object(std::string body);
    // Appends "<< /Length {len}{extra} >>\nstream\n", the data, "\nendstream"; returns its number.
    std::size_t add_stream_object(std::string_view extra, Buffer data);
    // Replaces the body of an object added earlier (the page tree's place holder).
    void replace_object(std::size_t number, std::string body);

    [[nodiscard]] std::size_t size() const { return m_objects.size(); }

    // The whole file with `root` as the catalog. Consumes the table: each stream's data is released
    // as soon as it is copied, so the file and the data are never both whole in memory.
    [[nodiscard]] std::vector<std::uint8_t> serialize(std::size_t root) &&;

  private:
    struct Body {
        std::string head;
        Buffer data;
        std::string tail;
    };
    std::vector<Body> m_objects;
};

}  // namespace presswick::pdf
