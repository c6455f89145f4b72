// Desktop notifications through whatever backend the host (or a test) installed, and the way back when
// the user chooses one: its target arrives on a channel, which wakes the event loop.
#pragma once

#include <memory>
#include <string>

#include "kora_ui/channel.h"

namespace kora_ui::notifications {

struct Notification {
    std::string title;
    std::string body;
    std::string target;  // what the program shows when the user chooses it (its own text)
    bool operator==(const Notification&) const = default;
};

class Backend {
  public:
    virtual ~Backend() = default;
    // Whether the program's window is the active window (then it tells the user itself).
    [[nodiscard]] virtual bool window_active() const = 0;
    virtual void show(const Notification& notification) = 0;
};

// Installs the backend; returns the previous one. None by default: nothing is shown.
std::shared_ptr<Backend> set_backend(std::shared_ptr<Backend> backend);
// True without a backend (nobody to tell).
[[nodiscard]] bool window_active();
// False when there is no backend.
bool show(const Notification& notification);

// The receiver of the targets the user chooses from now on (an earlier receiver gets no more).
[[nodiscard]] Receiver<std::string> listen_for_chosen();
// The backend tells that the user chose the notification with `target`.
void chosen(const std::string& target);

}  // namespace kora_ui::notifications
