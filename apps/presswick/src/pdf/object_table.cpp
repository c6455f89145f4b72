#include "pdf/object_table.h"

#include <cstring>

#include "pdf/placement.h"

namespace presswick::pdf {
namespace {

constexpr std::string_view k_header = "%PDF-1.7\n\x25\xE2\xE3\xCF\xD3\n";
constexpr std::string_view k_object_end = "\nendobj\n";
constexpr std::size_t k_xref_entry = 20;

void append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Ten digits, zero-padded on the left (more only past 10 GB, where the format has no answer).
std::string xref_offset(std::size_t offset) {
    std::string digits = format_integer(offset);
    if (digits.size() < 10) {
        digits.insert(0, 10 - digits.size(), '0');
    }
    return digits;
}

}  // namespace

std::size_t ObjectTable::add_object(std::string body) {
    m_objects.push_back(Body{std::move(body), {}, {}});
    return m_objects.size();
}

std::size_t ObjectTable::add_stream_object(std::string_view extra, Buffer data) {
    std::string head = "<< /Length " + format_integer(data.size());
    head += extra;
    head += " >>\nstream\n";
    m_objects.push_back(Body{std::move(head), std::move(data), "\nendstream"});
    return m_objects.size();
}

void ObjectTable::replace_object(std::size_t number, std::string body) {
    if (number >= 1 && number <= m_objects.size()) {
        m_objects[number - 1] = Body{std::move(body), {}, {}};
    }
}

std::vector<std::uint8_t> ObjectTable::serialize(std::size_t root) && {
    const std::string size = format_integer(m_objects.size() + 1);

    // Reserved, not filled: what is never written is never touched.
    std::size_t total = k_header.size() + 128 + (m_objects.size() + 1) * k_xref_entry;
    for (const Body& body : m_objects) {
        total += 24 + body.head.size() + body.data.size() + body.tail.size() + k_object_end.size();
    }
    std::vector<std::uint8_t> out;
    out.reserve(total);

    append(out, k_header);
    std::vector<std::size_t> offsets;
    offsets.reserve(m_objects.size());
    for (std::size_t i = 0; i < m_objects.size(); ++i) {
        Body& body = m_objects[i];
        offsets.push_back(out.size());
        append(out, format_integer(i + 1));
        append(out, " 0 obj\n");
        append(out, body.head);
        const auto data = body.data.bytes();
        out.insert(out.end(), data.begin(), data.end());
        body.data = Buffer{};
        append(out, body.tail);
        append(out, k_object_end);
    }

    const std::size_t xref = out.size();
    append(out, "xref\n0 ");
    append(out, size);
    append(out, "\n0000000000 65535 f \n");
    for (const std::size_t offset : offsets) {
        append(out, xref_offset(offset));
        append(out, " 00000 n \n");
    }
    append(out, "trailer\n<< /Size ");
    append(out, size);
    append(out, " /Root ");
    append(out, format_integer(root));
    append(out, " 0 R >>\nstartxref\n");
    append(out, format_integer(xref));
    append(out, "\n%%EOF\n");
    return out;
}

}  // namespace presswick::pdf
