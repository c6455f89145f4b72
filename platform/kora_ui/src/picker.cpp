#include "kora_ui/picker.h"

#include <mutex>
#include <utility>

#include "kora_ui/thread.h"

namespace kora_ui {

namespace {
std::mutex g_backend_mutex;
std::shared_ptr<PickerBackend> g_backend;
}  // namespace

std::shared_ptr<PickerBackend> set_picker_backend(std::shared_ptr<PickerBackend> backend) {
    std::lock_guard lock(g_backend_mutex);
    return std::exchange(g_backend, std::move(backend));
}

PendingPick PickRequest::send() const {
    auto [sender, receiver] = channel<PickOutcome>();
    std::shared_ptr<PickerBackend> backend;
    {
        std::lock_guard lock(g_backend_mutex);
        backend = g_backend;
    }
    // The sender moves into the thread; if the thread never starts it dies here and the
    // pending result reads as disconnected.
    const bool started =
        spawn_named_thread(m_thread_name, [request = *this, backend, sender = std::move(sender)] {
            if (!backend) {
                sender.send({PickOutcome::Kind::failed, {}, "no file picker is available"});
                return;
            }
            sender.send(backend->pick(request));
        });
    (void)started;
    return PendingPick(std::move(receiver));
}

PickPoll PendingPick::try_take() {
    auto got = m_receiver.try_recv();
    switch (got.status) {
        case RecvStatus::empty:
            return {PickPoll::Kind::pending, {}, {}};
        case RecvStatus::disconnected:
            return {PickPoll::Kind::disconnected, {}, {}};
        case RecvStatus::value:
            break;
    }
    auto& outcome = *got.value;
    switch (outcome.kind) {
        case PickOutcome::Kind::path:
            return {PickPoll::Kind::path, std::move(outcome.path), {}};
        case PickOutcome::Kind::cancelled:
            return {PickPoll::Kind::cancelled, {}, {}};
        case PickOutcome::Kind::failed:
            break;
    }
    return {PickPoll::Kind::failed, {}, std::move(outcome.message)};
}

}  // namespace kora_ui
