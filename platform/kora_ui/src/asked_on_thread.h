// What the picker and the credentials request share: the backend a host (or a test) installs, and
// asking it on a named thread of its own so that the asking side only ever polls.
#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "kora_ui/channel.h"
#include "kora_ui/thread.h"

namespace kora_ui::detail {

// One installed backend, replaced whole and read from any thread.
template <class Backend>
class BackendSlot {
  public:
    Backend exchange(Backend backend) {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_backend, std::move(backend));
    }
    [[nodiscard]] Backend get() const {
        std::lock_guard lock(m_mutex);
        return m_backend;
    }

  private:
    mutable std::mutex m_mutex;
    Backend m_backend{};
};

// Runs `ask` on a thread named `thread_name`; its answer comes through the receiver. When no thread can
// be started the sender dies here and the receiver reads as disconnected.
template <class Answer, class Ask>
Receiver<Answer> answer_on_thread(const std::string& thread_name, Ask ask) {
    auto [sender, receiver] = channel<Answer>();
    (void)spawn_named_thread(thread_name,
                             [ask = std::move(ask), sender = std::move(sender)] { sender.send(ask()); });
    return std::move(receiver);
}

}  // namespace kora_ui::detail
