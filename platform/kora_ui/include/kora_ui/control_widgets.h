// The controls a user acts on: buttons, toggles, segmented controls, dropdowns, number inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kora_ui/icons.h"
#include "kora_ui/leaves.h"
#include "kora_ui/local_state.h"
#include "kora_ui/widget.h"

namespace kora_ui {

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
    Button&& with_icon(Icon icon) && {
        m_icon = icon;
        return std::move(*this);
    }
    Button&& with_style(ButtonStyle style) && {
        m_style = style;
        return std::move(*this);
    }

    std::string_view type_name() const override { return "kora_ui::Button"; }
    std::string_view control_id() const override { return m_control_id; }
    // Unsaid, a button with the back glyph is the page's way back.
    Meaning meaning() const override {
        return said() || m_icon != Icon::back ? Widget::meaning() : Meaning::back;
    }
    [[nodiscard]] const std::string& label() const { return m_label; }
    [[nodiscard]] std::optional<Icon> icon() const { return m_icon; }
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
    std::optional<Icon> m_icon;
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

namespace widget {
// The action names a control answers to in the action contract ("invoke" for a button,
// "select" for a segmented control); empty for anything else.
[[nodiscard]] std::vector<kora_actions::ActionBinding> semantic_action_bindings(const Widget& control);
}  // namespace widget

}  // namespace kora_ui
