// The host's desktop services behind the toolkit's pluggable backends: the file picker (the
// freedesktop portal's FileChooser when one answers, else Qt's own dialog) and the clipboard.
#pragma once

#include <memory>
#include <optional>

#include "kora_ui/picker.h"

class QObject;

namespace kora_ui::qt {

// A picker that runs each pick on the GUI thread of `gui_context` (a blocking queued call from
// the picker thread). `use_portal` false always uses the dialog.
[[nodiscard]] std::shared_ptr<PickerBackend> make_desktop_picker(QObject* gui_context,
                                                                 bool use_portal = true);
// Installs the Qt clipboard as the toolkit's clipboard backend (calls from other threads are marshalled).
void install_clipboard_backend(QObject* gui_context);
// The Qt dialog part alone, on the GUI thread (tests answer it by typing into fileNameEdit).
[[nodiscard]] PickOutcome pick_with_dialog(const PickRequest& request);
// The portal part alone, on the GUI thread; nothing when no portal answers.
[[nodiscard]] std::optional<PickOutcome> pick_with_portal(const PickRequest& request);

}  // namespace kora_ui::qt
