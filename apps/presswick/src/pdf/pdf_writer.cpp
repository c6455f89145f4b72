#include "pdf/pdf_writer.h"

#include <thread>

#include "pdf/compression.h"
#include "pdf/object_table.h"
#include "pdf/pdf_text.h"
#include "pdf/placement.h"
#include "pdf/word_layer.h"

namespace presswick::pdf {
namespace {

constexpr std::string_view k_font =
    "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

bool has_length(const PdfPageInput& page, std::uint64_t bytes_per_pixel, std::size_t length) {
    std::uint64_t pixels = 0;
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(std::uint64_t{page.width}, std::uint64_t{page.height}, &pixels) ||
        __builtin_mul_overflow(pixels, bytes_per_pixel, &bytes)) {
        return false;
    }
    return bytes == length;
}

bool is_usable(const PdfPageInput& page) {
    if (page.width == 0 || page.height == 0) {
        return false;
    }
    if (page.rgb.empty() && !page.rgba.empty()) {
        return has_length(page, 4, page.rgba.size());
    }
    return has_length(page, 3, page.rgb.size());
}

// The page's RGB bytes: its own, or its RGBA pixels converted into `scratch`.
std::span<const std::uint8_t> rgb_bytes(const PdfPageInput& page, std::vector<std::uint8_t>& scratch) {
    if (page.rgba.empty()) {
        return page.rgb;
    }
    const std::size_t pixels = page.rgba.size() / 4;
    if (scratch.size() < pixels * 3) {
        scratch.resize(pixels * 3);
    }
    const std::uint8_t* in = page.rgba.data();
    std::uint8_t* out = scratch.data();
    for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    }
    return {scratch.data(), pixels * 3};
}

std::string image_entries(const PdfPageInput& page) {
    return " /Type /XObject /Subtype /Image /Width " + format_integer(page.width) + " /Height " +
           format_integer(page.height) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode";
}

std::string content_stream(const PdfPageInput& page, const std::string& image_name) {
    const Placement p = placement_for(page.width, page.height);
    std::string content = "q " + format_real(p.sw) + " 0 0 " + format_real(p.sh) + " " + format_real(p.x) +
                          " " + format_real(p.y) + " cm /" + image_name + " Do Q\n";
    if (auto layer = word_layer(page.words, page.width, page.height, p); !layer.empty()) {
        return content + layer;
    }
    if (has_visible_text(page.text)) {
        content += "BT /F1 10 Tf 3 Tr 18 18 Td (";
        content += escape_literal(to_winansi(page.text));  // the whole text, not the trimmed one
        content += ") Tj ET\n";
    }
    return content;
}

std::string reference(std::size_t number) {
    return format_integer(number) + " 0 R";
}

}  // namespace

std::vector<std::uint8_t> write_pdf(std::span<const PdfPageInput> pages) {
    return write_pdf(pages, std::thread::hardware_concurrency());
}

std::vector<std::uint8_t> write_pdf(std::span<const PdfPageInput> pages, unsigned threads) {
    // Positions (i) of the usable pages; the images are compressed first, all at once, in parallel.
    std::vector<std::size_t> usable;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (is_usable(pages[i])) {
            usable.push_back(i);
        }
    }
    std::vector<Buffer> images =
        zlib_compress_each(usable.size(), threads, [&](std::size_t k, std::vector<std::uint8_t>& scratch) {
            return rgb_bytes(pages[usable[k]], scratch);
        });

    ObjectTable table;
    const std::size_t font = table.add_object(std::string(k_font));
    const std::size_t tree = table.add_object({});
    std::string kids;
    for (std::size_t k = 0; k < usable.size(); ++k) {
        const PdfPageInput& page = pages[usable[k]];
        const std::string name = "Im" + format_integer(usable[k]);
        const std::size_t image = table.add_stream_object(image_entries(page), std::move(images[k]));
        const std::size_t content = table.add_stream_object({}, Buffer::copy_of(content_stream(page, name)));
        const std::string resources = "<< /Font << /F1 " + reference(font) + " >> /XObject << /" + name +
                                      " " + reference(image) + " >> >>";
        const std::size_t page_object = table.add_object("<< /Type /Page /Parent " + reference(tree) +
                                                         " /MediaBox [0 0 595 842] /Resources " + resources +
                                                         " /Contents " + reference(content) + " >>");
        if (!kids.empty()) {
            kids += ' ';
        }
        kids += reference(page_object);
    }
    table.replace_object(
        tree, "<< /Type /Pages /Count " + format_integer(usable.size()) + " /Kids [" + kids + "] >>");
    const std::size_t catalog = table.add_object("<< /Type /Catalog /Pages " + reference(tree) + " >>");
    return std::move(table).serialize(catalog);
}

}  // namespace presswick::pdf
