#include "kora_ui/text_input.h"
#include "kora_ui/translate.h"

#include "base/utf8.h"

namespace kora_ui {

void TextInput::enter(std::string text) const {
    text.resize(base::utf8::prefix_within(text, kMaxLength));
    if (text != m_state.get()) {
        (void)m_state.write_from_control(std::move(text));
    }
}

std::vector<kora_actions::Resource> TextInput::resources() const {
    if (m_control_id.empty()) {
        return {};
    }
    kora_actions::ActionSpec set;
    set.id = "set";
    set.title = tr("Set text");
    set.description = tr("Replace the text of the input");
    set.execution_kind = kora_actions::kExecuteTask;
    set.operation_id = std::string(kTextSetOperation);
    set.params = {{"text", tr("The new text"), kora_actions::ParamType::string}};
    set.payload = {{"control", m_control_id}, {"text", nullptr}};
    set.derive_from_execution_kind();
    set.derive_input();
    if (!kora_actions::enforce_operation_type(set, kTextSetOperation)) {
        return {};
    }
    const std::string title = m_accessible_label.empty() ? m_control_id : m_accessible_label;
    return {kora_actions::Resource{"kora.control:" + m_control_id, "kora.control.text", title, {}, {set}}};
}

}  // namespace kora_ui
