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
    auto withdrawal = std::make_shared<PickWithdrawal>();
    PickRequest request = *this;
    request.m_withdrawal = withdrawal;
    return PendingPick(detail::answer_on_thread<PickOutcome>(
                           m_thread_name,
                           [request = std::move(request), backend = g_picker_backend.get()]() -> PickOutcome {
                               if (!backend) {
                                   return {PickOutcome::Kind::failed, {}, "no file picker is available"};
                               }
                               if (request.withdrawal()->withdrawn()) {
                                   return {PickOutcome::Kind::cancelled, {}, {}};
                               }
                               return backend->pick(request);
                           }),
                       std::move(withdrawal));
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
