// The Qt side of kora_ui::TextInput: a QLineEdit that writes what is typed into the bound cell and
// shows the cell's value when something else set it (without moving the cursor of text being typed).
#pragma once

#include <functional>
#include <string>

#include "kora_ui/text_input.h"

class QWidget;

namespace kora_ui::qt {
class KeyboardAid;
}

namespace kora_ui::qt::text_input {

// The line edit for `input`; `enter` receives every edit the user makes.
[[nodiscard]] QWidget* make(const TextInput& input, QWidget* parent, KeyboardAid& keys,
                            std::function<void(std::string)> enter);
// What the widget shows of the node itself (the cell aside).
[[nodiscard]] std::string signature(const TextInput& input);
// Takes a new label or placeholder on the kept widget.
void patch(const TextInput& input, QWidget& widget);
// Shows the cell's value when it differs from the widget's text.
void sync(const TextInput& input, QWidget& widget);

}  // namespace kora_ui::qt::text_input
