// The host's way to ask for a user name and password: a dialog modal to the main window, shown on the
// GUI thread while the asking thread waits for its answer.
#pragma once

#include <memory>

#include "kora_ui/credentials.h"

class QObject;
class QWidget;

namespace kora_ui::qt {

// Dialogs are built on the GUI thread of `gui_context`, modal to `window`.
[[nodiscard]] std::shared_ptr<CredentialsBackend> make_credentials_dialog(QObject* gui_context,
                                                                          QWidget* window);

}  // namespace kora_ui::qt
