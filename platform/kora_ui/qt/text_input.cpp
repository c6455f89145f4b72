#include "qt/text_input.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "qt/keyboard.h"
#include "qt/qstrings.h"

namespace kora_ui::qt::text_input {

QWidget* make(const TextInput& input, QWidget* parent, KeyboardAid& keys,
              std::function<void(std::string)> enter) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(qs(std::string(input.control_id())));
    edit->setMaxLength(static_cast<int>(TextInput::kMaxLength));
    edit->setMinimumWidth(160);
    edit->setText(qs(input.state().get()));
    patch(input, *edit);
    keys.watch(edit);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [enter = std::move(enter)](const QString& text) { enter(text.toStdString()); });
    return edit;
}

std::string signature(const TextInput& input) {
    return input.accessible_label() + '\x1f' + input.placeholder() + '\x1f';
}

void patch(const TextInput& input, QWidget& widget) {
    auto& edit = static_cast<QLineEdit&>(widget);
    edit.setAccessibleName(qs(input.accessible_label()));
    edit.setPlaceholderText(qs(input.placeholder()));
}

void sync(const TextInput& input, QWidget& widget) {
    auto& edit = static_cast<QLineEdit&>(widget);
    const QString value = qs(input.state().get());
    if (edit.text() != value) {
        const QSignalBlocker quiet(&edit);
        edit.setText(value);
    }
}

}  // namespace kora_ui::qt::text_input
