// Desktop notifications of the Qt host: org.freedesktop.Notifications on the session bus. Choosing
// one (its default action) raises the window and hands its target to the program.
#pragma once

#include <memory>

#include "kora_ui/notifications.h"

class QWidget;

namespace kora_ui::qt {

// The backend for `window` (which must outlive it), or nothing when there is no session bus.
[[nodiscard]] std::shared_ptr<notifications::Backend> make_desktop_notifications(QWidget* window,
                                                                                 const std::string& app_name);

}  // namespace kora_ui::qt
