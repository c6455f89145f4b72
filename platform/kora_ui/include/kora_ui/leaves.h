// The leaves of a tree: texts, gaps, banners, progress, images, icons and page previews.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kora_ui/icons.h"
#include "kora_ui/local_state.h"
#include "kora_ui/widget.h"

namespace kora_ui {

using Pixels = std::shared_ptr<const std::vector<std::uint8_t>>;  // RGBA, row-major, 4 bytes a pixel

// A text size with what texts of that size are for (a view's type scale says both).
struct TextStyle {
    float size;
    Meaning meaning = Meaning::none;
    constexpr operator float() const { return size; }  // NOLINT: a style is used as its size
};

class Text final : public Widget {
  public:
    Text(std::string text, float size) : m_text(std::move(text)), m_size(size) {}
    Text(std::string text, TextStyle style) : m_text(std::move(text)), m_size(style.size) {
        say(style.meaning);
    }
    std::string_view type_name() const override { return "kora_ui::Text"; }
    // Unsaid, the toolkit's type scale tells it: page titles from 24, headings from 16.
    Meaning meaning() const override {
        return said() ? Widget::meaning()
                      : (m_size >= 24   ? Meaning::page_title
                         : m_size >= 16 ? Meaning::heading
                                        : Meaning::none);
    }
    [[nodiscard]] const std::string& text() const { return m_text; }
    [[nodiscard]] float size() const { return m_size; }

  private:
    std::string m_text;
    float m_size;
};

// A fixed vertical (in a column) or horizontal (in a row) gap, or a flexible filler.
class Spacer final : public Widget {
  public:
    explicit Spacer(float size) : m_size(size) {}
    [[nodiscard]] static Spacer flexible() {
        Spacer filler(0);
        filler.m_flexible = true;
        return filler;
    }
    std::string_view type_name() const override { return "kora_ui::Spacer"; }
    [[nodiscard]] float size() const { return m_size; }
    [[nodiscard]] bool is_flexible() const { return m_flexible; }

  private:
    float m_size;
    bool m_flexible = false;
};

class Divider final : public Widget {
  public:
    std::string_view type_name() const override { return "kora_ui::Divider"; }
};

enum class BannerStyle : std::uint8_t { failure, caution, confirmation };

class Banner final : public Widget {
  public:
    Banner(BannerStyle style, std::string text, std::string message = {})
        : m_style(style), m_text(std::move(text)), m_message(std::move(message)) {}
    std::string_view type_name() const override { return "kora_ui::Banner"; }
    [[nodiscard]] BannerStyle style() const { return m_style; }
    [[nodiscard]] const std::string& text() const { return m_text; }
    [[nodiscard]] const std::string& message() const { return m_message; }

  private:
    BannerStyle m_style;
    std::string m_text;
    std::string m_message;
};

class ProgressBar final : public Widget {
  public:
    explicit ProgressBar(float fraction) : m_fraction(fraction < 0 ? 0 : fraction > 1 ? 1 : fraction) {}
    [[nodiscard]] static ProgressBar indeterminate() {
        ProgressBar bar(0);
        bar.m_indeterminate = true;
        return bar;
    }
    ProgressBar&& with_accessible_label(std::string label) && {
        m_accessible_label = std::move(label);
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::ProgressBar"; }
    [[nodiscard]] float fraction() const { return m_fraction; }
    [[nodiscard]] bool is_indeterminate() const { return m_indeterminate; }
    [[nodiscard]] const std::string& accessible_label() const { return m_accessible_label; }

  private:
    float m_fraction;
    bool m_indeterminate = false;
    std::string m_accessible_label;
};

// An RGBA image shown at its own size (scaled down to fit when space is short).
class Image final : public Widget {
  public:
    Image(Pixels rgba, std::uint32_t width, std::uint32_t height)
        : m_rgba(std::move(rgba)), m_width(width), m_height(height) {}
    Image&& with_accessible_label(std::string label) && {
        m_accessible_label = std::move(label);
        return std::move(*this);
    }
    // Shown turned counter-clockwise by this many quarter turns.
    Image&& with_quarter_turns(int turns) && {
        m_quarter_turns = ((turns % 4) + 4) % 4;
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Image"; }
    [[nodiscard]] int quarter_turns() const { return m_quarter_turns; }
    [[nodiscard]] const Pixels& rgba() const { return m_rgba; }
    [[nodiscard]] std::uint32_t width() const { return m_width; }
    [[nodiscard]] std::uint32_t height() const { return m_height; }
    [[nodiscard]] const std::string& accessible_label() const { return m_accessible_label; }

  private:
    Pixels m_rgba;
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::string m_accessible_label;
    int m_quarter_turns = 0;
};

class IconWidget final : public Widget {
  public:
    IconWidget(Icon icon, float scale, float size) : m_icon(icon), m_scale(scale), m_size(size) {}
    std::string_view type_name() const override { return "kora_ui::IconWidget"; }
    [[nodiscard]] Icon icon() const { return m_icon; }
    [[nodiscard]] float scale() const { return m_scale; }
    [[nodiscard]] float size() const { return m_size; }

  private:
    Icon m_icon;
    float m_scale;
    float m_size;
};

// A page glyph showing page `page` of `total`.
class PagePreview final : public Widget {
  public:
    PagePreview(std::string label, std::uint32_t page, std::uint32_t total)
        : m_label(std::move(label)), m_page(page), m_total(total) {}
    std::string_view type_name() const override { return "kora_ui::PagePreview"; }
    [[nodiscard]] const std::string& label() const { return m_label; }
    [[nodiscard]] std::uint32_t page() const { return m_page; }
    [[nodiscard]] std::uint32_t total() const { return m_total; }

  private:
    std::string m_label;
    std::uint32_t m_page;
    std::uint32_t m_total;
};

// The page image with a draggable crop rectangle; writes the selection fractions into its cell.
class ImageCropEditor final : public Widget {
  public:
    ImageCropEditor(Pixels rgba, std::uint32_t width, std::uint32_t height,
                    LocalState<CropSelection> selection)
        : m_rgba(std::move(rgba)), m_width(width), m_height(height), m_selection(std::move(selection)) {}
    std::string_view type_name() const override { return "kora_ui::ImageCropEditor"; }
    [[nodiscard]] const Pixels& rgba() const { return m_rgba; }
    [[nodiscard]] std::uint32_t width() const { return m_width; }
    [[nodiscard]] std::uint32_t height() const { return m_height; }
    [[nodiscard]] const LocalState<CropSelection>& selection() const { return m_selection; }
    // What a drag does: the wanted rectangle clamped (CropSelection::clamped).
    void drag_to(CropSelection wanted) const;

  private:
    Pixels m_rgba;
    std::uint32_t m_width;
    std::uint32_t m_height;
    LocalState<CropSelection> m_selection;
};

}  // namespace kora_ui
