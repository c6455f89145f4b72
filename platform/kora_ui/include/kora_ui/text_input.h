// A one-line text input bound to a text cell: what the user types is written into the cell, and the
// input shows the cell's value however it was set. Published as a control resource, so that other
// programs can enter its text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kora_ui/controls.h"
#include "kora_ui/local_state.h"
#include "kora_ui/widget.h"

namespace kora_ui {

class TextInput final : public Widget {
  public:
    static constexpr std::size_t kMaxLength = 1000;  // a longer entry is cut there

    [[nodiscard]] static TextInput from_state(LocalState<std::string> state) {
        return TextInput(std::move(state));
    }
    TextInput&& with_id(std::string control_id) && {
        m_control_id = std::move(control_id);
        return std::move(*this);
    }
    TextInput&& with_accessible_label(std::string label) && {
        m_accessible_label = std::move(label);
        return std::move(*this);
    }
    TextInput&& with_placeholder(std::string placeholder) && {
        m_placeholder = std::move(placeholder);
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::TextInput"; }
    std::string_view control_id() const override { return m_control_id; }
    [[nodiscard]] const LocalState<std::string>& state() const { return m_state; }
    [[nodiscard]] const std::string& accessible_label() const { return m_accessible_label; }
    [[nodiscard]] const std::string& placeholder() const { return m_placeholder; }
    // What typing does: the text (at most kMaxLength bytes, never a cut character) goes into the cell.
    void enter(std::string text) const;
    // Resource "kora.control:ID", kind "kora.control.text", one action "set" with a string "text".
    std::vector<kora_actions::Resource> resources() const override;

  private:
    explicit TextInput(LocalState<std::string> state) : m_state(std::move(state)) {}
    LocalState<std::string> m_state;
    std::string m_control_id;
    std::string m_accessible_label;
    std::string m_placeholder;
};

}  // namespace kora_ui
