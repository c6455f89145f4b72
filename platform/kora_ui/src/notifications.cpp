#include "kora_ui/notifications.h"

#include <mutex>
#include <optional>

namespace kora_ui::notifications {

namespace {
struct Installed {
    std::mutex mutex;
    std::shared_ptr<Backend> backend;
    std::optional<Sender<std::string>> chosen;
};

Installed& installed() {
    static auto* instance = new Installed;  // a backend may call in while the process exits
    return *instance;
}

std::shared_ptr<Backend> current() {
    std::lock_guard lock(installed().mutex);
    return installed().backend;
}
}  // namespace

std::shared_ptr<Backend> set_backend(std::shared_ptr<Backend> backend) {
    std::lock_guard lock(installed().mutex);
    std::swap(installed().backend, backend);
    return backend;
}

bool window_active() {
    const auto backend = current();
    return !backend || backend->window_active();
}

bool show(const Notification& notification) {
    const auto backend = current();
    if (!backend) {
        return false;
    }
    backend->show(notification);
    return true;
}

Receiver<std::string> listen_for_chosen() {
    auto [sender, receiver] = channel<std::string>();
    std::lock_guard lock(installed().mutex);
    installed().chosen = std::move(sender);
    return std::move(receiver);
}

void chosen(const std::string& target) {
    std::optional<Sender<std::string>> sender;
    {
        std::lock_guard lock(installed().mutex);
        sender = installed().chosen;
    }
    if (sender) {
        (void)sender->send(target);
    }
}

}  // namespace kora_ui::notifications
