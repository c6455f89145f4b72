// The PDF writer: scanned pages become the bytes of one searchable PDF 1.7 file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pdf/pdf_word.h"

namespace presswick::pdf {

// One scanned page as the writer reads it.
//
// `rgb` is borrowed, never copied or kept: it must stay alive and unchanged until write_pdf returns.
// A page held in a shared immutable buffer (std::shared_ptr<const std::vector<std::uint8_t>>) is passed
// as `*buffer`, so a 26 MB page costs nothing on the way in; the caller keeps the pointer for the call.
struct PdfPageInput {
    std::span<const std::uint8_t> rgb;  // width * height * 3 bytes, rows top to bottom, no padding
    std::string text;                   // UTF-8 recognised text; empty when the page has none
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Instead of `rgb` (which is then empty): width * height * 4 bytes, alpha ignored. Each compression
    // thread converts one page at a time into a buffer it reuses, so no RGB copy of the whole document
    // is ever made; the file's bytes are the same as for the RGB of these pixels.
    std::span<const std::uint8_t> rgba = {};
    // The recognised words in reading order (borrowed like the pixels). With words, the text layer lays
    // each line over its words; without, `text` is one invisible line at the page's foot.
    std::span<const PdfWord> words = {};
};

// The whole file. Never fails: unusable pages (zero size, or a pixel length that does not match) are
// left out, and with none usable the file has an empty page tree. Keeps no state; safe on any thread.
// Images are compressed in parallel, one thread per hardware thread at most; the bytes do not depend
// on the number of threads.
[[nodiscard]] std::vector<std::uint8_t> write_pdf(std::span<const PdfPageInput> pages);

// The same bytes with at most `threads` compression threads, the caller's own included (0 counts as 1).
[[nodiscard]] std::vector<std::uint8_t> write_pdf(std::span<const PdfPageInput> pages, unsigned threads);

}  // namespace presswick::pdf
