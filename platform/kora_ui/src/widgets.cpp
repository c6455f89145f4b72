#include "kora_ui/widgets.h"
#include "kora_ui/translate.h"

#include <algorithm>

namespace kora_ui {

CardSurface::CardSurface(std::string title, std::optional<Button> header, WidgetPtr body)
    : m_title(std::move(title)), m_has_header(header.has_value()) {
    if (header) {
        m_children.push_back(std::make_unique<Button>(std::move(*header)));
    }
    m_children.push_back(std::move(body));
}
CardSurface::CardSurface(CardSurface&&) noexcept = default;
CardSurface& CardSurface::operator=(CardSurface&&) noexcept = default;
CardSurface::~CardSurface() = default;

const Button* CardSurface::header() const {
    return m_has_header ? static_cast<const Button*>(m_children.front().get()) : nullptr;
}

void ImageCropEditor::drag_to(CropSelection wanted) const {
    m_selection.write_from_control(wanted.clamped());
}

void Button::press() {
    if (m_invokes_control_id) {
        m_pending = ControlInvocation{m_control_id, std::nullopt};
        return;
    }
    if (m_action) {
        m_action();
    }
}

std::optional<ControlInvocation> Button::take_control_invocation() {
    return std::exchange(m_pending, std::nullopt);
}

std::vector<kora_actions::Resource> Button::resources() const {
    if (!has_action() || m_control_id.empty()) {
        return {};
    }
    kora_actions::ActionSpec invoke;
    invoke.id = "invoke";
    invoke.title = m_label;
    invoke.execution_kind = kora_actions::kExecuteTask;
    invoke.operation_id = "kora.ui.control.invoke";
    invoke.payload = m_control_id;
    invoke.derive_from_execution_kind();
    invoke.derive_input();
    return {kora_actions::Resource{"kora.control:" + m_control_id, "kora.control", m_label, {}, {invoke}}};
}

bool ToggleGroup::select(std::size_t index) const {
    if (index >= m_options.size() || !enabled(index)) {
        return false;
    }
    m_selected.write_from_control(index);
    return true;
}

std::vector<kora_actions::Resource> ToggleGroup::resources() const {
    kora_actions::ActionSpec select;
    select.id = "select";
    select.title = tr("Select");
    select.description = tr("Choose a segment");
    select.execution_kind = kora_actions::kExecuteTask;
    select.operation_id = "kora.ui.segmented.select";
    select.params = {{"index", tr("Zero-based segment index"), kora_actions::ParamType::integer}};
    select.payload = {{"control", m_control_id}, {"index", nullptr}};
    select.derive_from_execution_kind();
    select.derive_input();
    if (!kora_actions::enforce_operation_type(select, "kora.ui.segmented.select")) {
        return {};
    }
    const std::string title =
        m_options.empty() ? m_control_id : m_options[std::min(m_selected.get(), m_options.size() - 1)];
    return {kora_actions::Resource{
        "kora.control:" + m_control_id, "kora.control.segmented", title, {}, {select}}};
}

bool Dropdown::choose(const std::string& value) {
    const bool known = std::any_of(m_options.begin(), m_options.end(),
                                   [&value](const DropdownOption& option) { return option.value == value; });
    if (!known) {
        return false;
    }
    m_value = value;
    if (m_on_change) {
        m_on_change(value);
    }
    return true;
}

void NumberInput::enter(double value) const {
    if (value != value) {  // NaN: nothing sensible to store
        return;
    }
    m_state.write_from_control(std::clamp(value, m_minimum, m_maximum));
}

namespace widget {
std::vector<kora_actions::ActionBinding> semantic_action_bindings(const Widget& control) {
    if (const auto* button = dynamic_cast<const Button*>(&control); button && button->has_action()) {
        return {kora_actions::ActionBinding::unit_for("invoke")};
    }
    if (dynamic_cast<const ToggleGroup*>(&control)) {
        return {kora_actions::ActionBinding::index_for("select")};
    }
    return {};
}
}  // namespace widget

}  // namespace kora_ui
