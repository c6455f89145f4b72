// The host's desktop services behind the toolkit's pluggable backends: the file picker (the
// freedesktop portal's FileChooser when one answers, else Qt's own dialog) and the clipboard.
#pragma once

#include <QString>
#include <memory>

#include "kora_ui/picker.h"

class QObject;
class QWidget;

namespace kora_ui::qt {

// A picker whose picks run on the GUI thread of `gui_context` without blocking it (the picker thread
// waits for the answer); dialogs are modal to `window`. `use_portal` false always uses the dialog.
// The portal is looked for on the session bus, or on the named connection `bus_name` (tests).
[[nodiscard]] std::shared_ptr<PickerBackend> make_desktop_picker(QObject* gui_context,
                                                                 QWidget* window = nullptr,
                                                                 bool use_portal = true,
                                                                 const QString& bus_name = {});
// Installs the Qt clipboard as the toolkit's clipboard backend (calls from other threads are marshalled).
void install_clipboard_backend(QObject* gui_context);

}  // namespace kora_ui::qt
