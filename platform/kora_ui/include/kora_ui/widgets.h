// The containers, leaves and controls a view builds its tree from. Every property stays readable,
// so tests and the host can walk a tree and see exactly what a view asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kora_ui/local_state.h"
#include "kora_ui/widget.h"

namespace kora_ui {

using Pixels = std::shared_ptr<const std::vector<std::uint8_t>>;  // RGBA, row-major, 4 bytes a pixel

// ---- containers -------------------------------------------------------------------------------

// Shared by the containers that hold an ordered list of children.
template <class Self>
class Stack : public Widget {
  public:
    template <class W>
    Self&& push(W&& child) && {
        m_children.push_back(into_widget(std::forward<W>(child)));
        return std::move(static_cast<Self&>(*this));
    }
    template <class W>
    Self& push(W&& child) & {
        m_children.push_back(into_widget(std::forward<W>(child)));
        return static_cast<Self&>(*this);
    }
    std::span<const WidgetPtr> children() const override { return m_children; }
    [[nodiscard]] bool empty() const { return m_children.empty(); }

  protected:
    std::vector<WidgetPtr> m_children;
};

class Column final : public Stack<Column> {
  public:
    std::string_view type_name() const override { return "kora_ui::Column"; }
};

class Row final : public Stack<Row> {
  public:
    std::string_view type_name() const override { return "kora_ui::Row"; }
};

// One child with sizing: flexible (takes the free space), a minimum and a maximum width.
class Container final : public Widget {
  public:
    Container() = default;
    template <class W>
    Container&& with_child(W&& child) && {
        set(into_widget(std::forward<W>(child)));
        return std::move(*this);
    }
    Container&& flexible(bool on = true) && {
        m_flexible = on;
        return std::move(*this);
    }
    Container&& min_width(float width) && {
        m_min_width = width;
        return std::move(*this);
    }
    Container&& max_width(float width) && {
        m_max_width = width;
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Container"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }
    [[nodiscard]] bool is_flexible() const { return m_flexible; }
    [[nodiscard]] std::optional<float> min_width() const { return m_min_width; }
    [[nodiscard]] std::optional<float> max_width() const { return m_max_width; }

  private:
    void set(WidgetPtr child) {
        m_child.clear();
        m_child.push_back(std::move(child));
    }
    std::vector<WidgetPtr> m_child;
    bool m_flexible = false;
    std::optional<float> m_min_width;
    std::optional<float> m_max_width;
};

class Scrollable final : public Widget {
  public:
    template <class W>
    Scrollable&& with_child(W&& child) && {
        m_child.clear();
        m_child.push_back(into_widget(std::forward<W>(child)));
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Scrollable"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }

  private:
    std::vector<WidgetPtr> m_child;
};

class Button;
enum class BannerStyle : std::uint8_t;

// A titled card: title, an optional header control (a button) and a body. Children: [header?, body].
class CardSurface final : public Widget {
  public:
    CardSurface(std::string title, std::optional<Button> header, WidgetPtr body);
    CardSurface(CardSurface&&) noexcept;
    CardSurface& operator=(CardSurface&&) noexcept;
    ~CardSurface() override;
    std::string_view type_name() const override { return "kora_ui::CardSurface"; }
    std::span<const WidgetPtr> children() const override { return m_children; }
    [[nodiscard]] const std::string& title() const { return m_title; }
    // The header button, when there is one.
    [[nodiscard]] const Button* header() const;
    [[nodiscard]] const Widget& body() const { return *m_children.back(); }
    // Drawn in the colours of a banner style: a card that reports a problem or an outcome.
    CardSurface&& with_tone(BannerStyle tone) && {
        m_tone = tone;
        return std::move(*this);
    }
    [[nodiscard]] std::optional<BannerStyle> tone() const { return m_tone; }

  private:
    std::string m_title;
    bool m_has_header = false;
    std::optional<BannerStyle> m_tone;
    std::vector<WidgetPtr> m_children;
};

namespace widget::card {
template <class W>
CardSurface surface(std::string title, std::optional<Button> header, W&& body);
}

// A plain framed card without a title.
class Card final : public Widget {
  public:
    template <class W>
    explicit Card(W&& child) {
        m_child.push_back(into_widget(std::forward<W>(child)));
    }
    std::string_view type_name() const override { return "kora_ui::Card"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }

  private:
    std::vector<WidgetPtr> m_child;
};

// Cards that wrap into as many columns as fit: each column at least `min_column_width` wide and
// a card never wider than `max_card_width`.
class CardGrid final : public Stack<CardGrid> {
  public:
    CardGrid(float min_column_width, float max_card_width)
        : m_min_column_width(min_column_width), m_max_card_width(max_card_width) {}
    std::string_view type_name() const override { return "kora_ui::CardGrid"; }
    [[nodiscard]] float min_column_width() const { return m_min_column_width; }
    [[nodiscard]] float max_card_width() const { return m_max_card_width; }

  private:
    float m_min_column_width;
    float m_max_card_width;
};

// ---- leaves -----------------------------------------------------------------------------------

class Text final : public Widget {
  public:
    Text(std::string text, float size) : m_text(std::move(text)), m_size(size) {}
    std::string_view type_name() const override { return "kora_ui::Text"; }
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

// Icon codes: 76 refresh, 5 printer, 18 add, 19 find, 28 scan, 38 back, 39 open, 60 history,
// 70 diagnostics, 23 preview missing.
class IconWidget final : public Widget {
  public:
    IconWidget(int icon, float scale, float size) : m_icon(icon), m_scale(scale), m_size(size) {}
    std::string_view type_name() const override { return "kora_ui::IconWidget"; }
    [[nodiscard]] int icon() const { return m_icon; }
    [[nodiscard]] float scale() const { return m_scale; }
    [[nodiscard]] float size() const { return m_size; }

  private:
    int m_icon;
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
    static constexpr double kMinimumSpan = 0.05;  // never narrower or lower than this fraction

    ImageCropEditor(Pixels rgba, std::uint32_t width, std::uint32_t height,
                    LocalState<CropSelection> selection)
        : m_rgba(std::move(rgba)), m_width(width), m_height(height), m_selection(std::move(selection)) {}
    std::string_view type_name() const override { return "kora_ui::ImageCropEditor"; }
    [[nodiscard]] const Pixels& rgba() const { return m_rgba; }
    [[nodiscard]] std::uint32_t width() const { return m_width; }
    [[nodiscard]] std::uint32_t height() const { return m_height; }
    [[nodiscard]] const LocalState<CropSelection>& selection() const { return m_selection; }
    // What a drag does: keeps the rectangle inside the page, ordered and at least kMinimumSpan wide and high.
    void drag_to(CropSelection wanted) const;

  private:
    Pixels m_rgba;
    std::uint32_t m_width;
    std::uint32_t m_height;
    LocalState<CropSelection> m_selection;
};

// ---- controls ---------------------------------------------------------------------------------

enum class ButtonStyle : std::uint8_t { standard, primary, plain, subtle };

// What a button press does: run an action (the program sends an operation from it), or
// invoke the button's own control id (collected by take_control_invocation).
struct InvokeControlId {};

class Button final : public Widget {
  public:
    Button(std::string control_id, std::string label)
        : m_control_id(std::move(control_id)), m_label(std::move(label)) {}

    Button&& on_action(std::function<void()> action) && {
        m_action = std::move(action);
        m_invokes_control_id = false;
        return std::move(*this);
    }
    Button&& on_action(InvokeControlId) && {
        m_action = nullptr;
        m_invokes_control_id = true;
        return std::move(*this);
    }
    Button&& with_icon(int icon) && {
        m_icon = icon;
        return std::move(*this);
    }
    Button&& with_style(ButtonStyle style) && {
        m_style = style;
        return std::move(*this);
    }

    std::string_view type_name() const override { return "kora_ui::Button"; }
    std::string_view control_id() const override { return m_control_id; }
    [[nodiscard]] const std::string& label() const { return m_label; }
    [[nodiscard]] std::optional<int> icon() const { return m_icon; }
    [[nodiscard]] ButtonStyle style() const { return m_style; }
    [[nodiscard]] bool has_action() const { return m_action != nullptr || m_invokes_control_id; }
    [[nodiscard]] bool invokes_control_id() const { return m_invokes_control_id; }

    // What a click does. Safe to call from the host's event handlers and from tests.
    void press();
    std::vector<kora_actions::Resource> resources() const override;
    std::optional<ControlInvocation> take_control_invocation() override;

  private:
    std::string m_control_id;
    std::string m_label;
    std::function<void()> m_action;
    bool m_invokes_control_id = false;
    std::optional<int> m_icon;
    ButtonStyle m_style = ButtonStyle::standard;
    std::optional<ControlInvocation> m_pending;
};

class Toggle final : public Widget {
  public:
    [[nodiscard]] static Toggle from_state(LocalState<bool> state) { return Toggle(std::move(state)); }
    Toggle&& with_accessible_label(std::string label) && {
        m_accessible_label = std::move(label);
        return std::move(*this);
    }
    // A disabled toggle shows the cell's value and takes no input.
    Toggle&& with_enabled(bool enabled) && {
        m_enabled = enabled;
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Toggle"; }
    [[nodiscard]] const LocalState<bool>& state() const { return m_state; }
    [[nodiscard]] const std::string& accessible_label() const { return m_accessible_label; }
    [[nodiscard]] bool enabled() const { return m_enabled; }
    void set(bool on) const {
        if (m_enabled) {
            m_state.write_from_control(on);
        }
    }

  private:
    explicit Toggle(LocalState<bool> state) : m_state(std::move(state)) {}
    LocalState<bool> m_state;
    std::string m_accessible_label;
    bool m_enabled = true;
};

// A segmented control: one option chosen, its index kept in the bound cell.
class ToggleGroup final : public Widget {
  public:
    ToggleGroup(std::string control_id, std::string select_action_id, std::vector<std::string> options,
                LocalState<std::size_t> selected)
        : m_control_id(std::move(control_id)),
          m_select_action_id(std::move(select_action_id)),
          m_options(std::move(options)),
          m_selected(std::move(selected)) {}
    std::string_view type_name() const override { return "kora_ui::ToggleGroup"; }
    std::string_view control_id() const override { return m_control_id; }
    [[nodiscard]] const std::string& select_action_id() const { return m_select_action_id; }
    [[nodiscard]] const std::vector<std::string>& options() const { return m_options; }
    [[nodiscard]] const LocalState<std::size_t>& selected() const { return m_selected; }
    // Segments that cannot be chosen (shown, greyed); by index, missing ones are enabled.
    ToggleGroup&& with_disabled(std::vector<bool> disabled) && {
        m_disabled = std::move(disabled);
        return std::move(*this);
    }
    [[nodiscard]] bool enabled(std::size_t index) const {
        return index >= m_disabled.size() || !m_disabled[index];
    }
    // Chooses a segment; false (and no change) for an index outside the options or a disabled one.
    bool select(std::size_t index) const;
    std::vector<kora_actions::Resource> resources() const override;

  private:
    std::string m_control_id;
    std::string m_select_action_id;
    std::vector<std::string> m_options;
    LocalState<std::size_t> m_selected;
    std::vector<bool> m_disabled;
};

struct DropdownOption {
    std::string value;
    std::string label;
    bool operator==(const DropdownOption&) const = default;
};

class Dropdown final : public Widget {
  public:
    explicit Dropdown(std::string label) : m_label(std::move(label)) {}
    Dropdown&& with_id(std::string control_id) && {
        m_control_id = std::move(control_id);
        return std::move(*this);
    }
    Dropdown&& with_placeholder(std::string placeholder) && {
        m_placeholder = std::move(placeholder);
        return std::move(*this);
    }
    Dropdown&& set_value_options(std::vector<DropdownOption> options) && {
        m_options = std::move(options);
        return std::move(*this);
    }
    // Shows `value` as the chosen option.
    Dropdown&& publish_local_state(std::string value) && {
        m_value = std::move(value);
        return std::move(*this);
    }
    Dropdown&& on_change(std::function<void(const std::string& value)> handler) && {
        m_on_change = std::move(handler);
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Dropdown"; }
    std::string_view control_id() const override { return m_control_id; }
    [[nodiscard]] const std::string& label() const { return m_label; }
    [[nodiscard]] const std::string& placeholder() const { return m_placeholder; }
    [[nodiscard]] const std::vector<DropdownOption>& options() const { return m_options; }
    [[nodiscard]] const std::optional<std::string>& value() const { return m_value; }
    // What choosing an option does; false for a value that is not an option.
    bool choose(const std::string& value);

  private:
    std::string m_label;
    std::string m_control_id;
    std::string m_placeholder;
    std::vector<DropdownOption> m_options;
    std::optional<std::string> m_value;
    std::function<void(const std::string&)> m_on_change;
};

class NumberInput final : public Widget {
  public:
    [[nodiscard]] static NumberInput from_state(LocalState<double> state) {
        return NumberInput(std::move(state));
    }
    NumberInput&& with_id(std::string control_id) && {
        m_control_id = std::move(control_id);
        return std::move(*this);
    }
    NumberInput&& with_range(double minimum, double maximum) && {
        m_minimum = minimum;
        m_maximum = maximum;
        return std::move(*this);
    }
    NumberInput&& with_accessible_label(std::string label) && {
        m_accessible_label = std::move(label);
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::NumberInput"; }
    std::string_view control_id() const override { return m_control_id; }
    [[nodiscard]] const LocalState<double>& state() const { return m_state; }
    [[nodiscard]] double minimum() const { return m_minimum; }
    [[nodiscard]] double maximum() const { return m_maximum; }
    [[nodiscard]] const std::string& accessible_label() const { return m_accessible_label; }
    // What typing or stepping does: the value clamped into the range is written into the cell.
    void enter(double value) const;

  private:
    explicit NumberInput(LocalState<double> state) : m_state(std::move(state)) {}
    LocalState<double> m_state;
    std::string m_control_id;
    double m_minimum = -1e300;
    double m_maximum = 1e300;
    std::string m_accessible_label;
};

// ---- definitions that need Button complete ----------------------------------------------------

namespace widget::card {
template <class W>
CardSurface surface(std::string title, std::optional<Button> header, W&& body) {
    return CardSurface(std::move(title), std::move(header), into_widget(std::forward<W>(body)));
}
}  // namespace widget::card

namespace widget {
// The action names a control answers to in the action contract ("invoke" for a button,
// "select" for a segmented control); empty for anything else.
[[nodiscard]] std::vector<kora_actions::ActionBinding> semantic_action_bindings(const Widget& control);
}  // namespace widget

}  // namespace kora_ui
