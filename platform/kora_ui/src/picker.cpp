#include "kora_ui/picker.h"

#include "asked_on_thread.h"

namespace kora_ui {

namespace {
detail::BackendSlot<std::shared_ptr<PickerBackend>> g_picker_backend;
}  // namespace

std::shared_ptr<PickerBackend> set_picker_backend(std::shared_ptr<PickerBackend> backend) {
    return g_picker_backend.exchange(std::move(backend));
}

PendingPick PickRequest::send() const {
    return PendingPick(detail::answer_on_thread<PickOutcome>(
        m_thread_name, [request = *this, backend = g_picker_backend.get()]() -> PickOutcome {
            if (!backend) {
                return {PickOutcome::Kind::failed, {}, "no file picker is available"};
            }
            return backend->pick(request);
        }));
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
