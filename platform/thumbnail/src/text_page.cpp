// A plain text file drawn as a white page with dark lines of text in the desktop's monospace font
// (fontconfig's choice, with its fallbacks for characters the first font lacks), through FreeType.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "base/owned.h"
#include "base/utf8.h"
#include "internal.h"

namespace thumbnail::detail {

namespace {

// UTF-8 to code points (tabs as four spaces, other control characters as spaces); false when the
// bytes are not UTF-8 text.
bool decode_utf8(const std::vector<std::uint8_t>& bytes, std::u32string& out) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t end = base::utf8::without_cut_end(text);  // a character cut by the read limit
    for (std::size_t i = 0; i < end;) {
        if (text[i] == '\0' || base::utf8::sequence_length(text, i) == 0) {
            return false;
        }
        const char32_t code = base::utf8::next_code_point(text, i);
        if (code == '\t') {
            out += U"    ";
        } else if (code == '\n' || code >= 32) {
            out += code == 0x7F ? U' ' : code;
        } else if (code != '\r') {
            out += U' ';
        }
    }
    return true;
}

using Library = base::Owned<std::remove_pointer_t<FT_Library>, FT_Done_FreeType>;
using Face = base::Owned<std::remove_pointer_t<FT_Face>, FT_Done_Face>;

// The font files fontconfig offers for "monospace", best first.
std::vector<std::string> monospace_font_files(std::size_t limit) {
    std::vector<std::string> files;
    base::Owned<FcPattern, FcPatternDestroy> pattern(
        FcNameParse(reinterpret_cast<const FcChar8*>("monospace")));
    if (!pattern) {
        return files;
    }
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    base::Owned<FcFontSet, FcFontSetDestroy> set(
        FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
    for (int i = 0; set && i < set->nfont && files.size() < limit; ++i) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch && file) {
            files.emplace_back(reinterpret_cast<const char*>(file));
        }
    }
    return files;
}

// The fonts of one page: each character from the first font that has it, faces opened on demand.
class PageFonts {
  public:
    PageFonts(Library library, std::vector<std::string> files, FT_UInt pixels)
        : m_library(std::move(library)),
          m_files(std::move(files)),
          m_faces(m_files.size()),
          m_pixels(pixels) {}

    // The face and glyph for a character; the first face's missing-glyph box when no font has it.
    std::pair<FT_Face, FT_UInt> glyph(char32_t code) {
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            FT_Face face = face_at(i);
            if (const FT_UInt index = face ? FT_Get_Char_Index(face, code) : 0; index != 0) {
                return {face, index};
            }
        }
        return {first(), 0};
    }
    [[nodiscard]] FT_Face first() {
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            if (FT_Face face = face_at(i)) {
                return face;
            }
        }
        return nullptr;
    }

  private:
    FT_Face face_at(std::size_t i) {
        if (!m_faces[i] && !m_files[i].empty()) {
            FT_Face face = nullptr;
            if (FT_New_Face(m_library.get(), m_files[i].c_str(), 0, &face) == 0 &&
                FT_Set_Pixel_Sizes(face, 0, m_pixels) == 0) {
                m_faces[i].reset(face);
            } else {
                if (face) {
                    FT_Done_Face(face);
                }
                m_files[i].clear();  // not a font FreeType can use: skip it from now on
            }
        }
        return m_faces[i].get();
    }

    Library m_library;  // declared first: the faces go before it
    std::vector<std::string> m_files;
    std::vector<Face> m_faces;
    FT_UInt m_pixels;
};

// Blends the glyph's coverage onto the white page in the ink colour.
void draw_glyph(const FT_Bitmap& bitmap, long left, long top, std::vector<std::uint8_t>& rgba,
                std::uint32_t width, std::uint32_t height) {
    constexpr std::uint8_t kInk[3] = {40, 44, 52};
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const long y = top + static_cast<long>(row);
        if (y < 0 || y >= static_cast<long>(height)) {
            continue;
        }
        for (unsigned column = 0; column < bitmap.width; ++column) {
            const long x = left + static_cast<long>(column);
            const unsigned coverage = bitmap.buffer[static_cast<std::ptrdiff_t>(row) * bitmap.pitch + column];
            if (x < 0 || x >= static_cast<long>(width) || coverage == 0) {
                continue;
            }
            auto* pixel = &rgba[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4];
            for (int c = 0; c < 3; ++c) {
                pixel[c] =
                    static_cast<std::uint8_t>((pixel[c] * (255 - coverage) + kInk[c] * coverage) / 255);
            }
        }
    }
}

}  // namespace

std::expected<Image, std::string> render_text_page(const std::vector<std::uint8_t>& bytes,
                                                   std::uint32_t max_side) {
    std::u32string text;
    if (!decode_utf8(bytes, text)) {
        return std::unexpected("the file is not plain text");
    }
    // An A4 page standing up, its height the thumbnail's longer side.
    const std::uint32_t height = std::max<std::uint32_t>(max_side, 64);
    const auto width = static_cast<std::uint32_t>(std::lround(height * 595.0 / 842.0));
    const long margin = std::lround(width * 0.08);
    const long right = static_cast<long>(width) - margin;
    // About 64 columns of a monospace font (its advance is about 0.6 of its size) fill the line.
    constexpr double kColumns = 64;
    const auto pixels = static_cast<FT_UInt>(std::max(6.0, std::floor((right - margin) / (kColumns * 0.6))));

    FT_Library raw_library = nullptr;
    if (FT_Init_FreeType(&raw_library) != 0) {
        return std::unexpected("the font renderer could not start");
    }
    PageFonts fonts(Library(raw_library), monospace_font_files(8), pixels);
    FT_Face first = fonts.first();
    if (!first) {
        return std::unexpected("no font is installed to draw the text with");
    }
    const long ascent = first->size->metrics.ascender >> 6;
    const long line_height = std::max<long>(1, std::lround(pixels * 1.35));

    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4, 255);
    long pen = margin;
    long baseline = margin + ascent;
    for (const char32_t code : text) {
        if (baseline - ascent + line_height > static_cast<long>(height) - margin) {
            break;  // the page is full
        }
        if (code == U'\n') {
            pen = margin;
            baseline += line_height;
            continue;
        }
        const auto [face, index] = fonts.glyph(code);
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        const long advance = slot->advance.x >> 6;
        if (pen + advance > right && pen > margin) {
            pen = margin;  // a long line wraps
            baseline += line_height;
            if (baseline - ascent + line_height > static_cast<long>(height) - margin) {
                break;
            }
            if (code == U' ') {
                continue;  // the space at a wrap is the line break itself
            }
        }
        draw_glyph(slot->bitmap, pen + slot->bitmap_left, baseline - slot->bitmap_top, rgba, width, height);
        pen += advance;
    }
    return fit_rgba(std::move(rgba), width, height, max_side);
}

}  // namespace thumbnail::detail
