#include "kora_ui/credentials.h"

#include "asked_on_thread.h"

namespace kora_ui {

namespace {
detail::BackendSlot<std::shared_ptr<CredentialsBackend>> g_credentials_backend;
}  // namespace

std::shared_ptr<CredentialsBackend> set_credentials_backend(std::shared_ptr<CredentialsBackend> backend) {
    return g_credentials_backend.exchange(std::move(backend));
}

PendingCredentials CredentialsRequest::send() const {
    return PendingCredentials(detail::answer_on_thread<CredentialsAnswer>(
        m_thread_name, [request = *this, backend = g_credentials_backend.get()]() -> CredentialsAnswer {
            if (!backend) {
                return {CredentialsAnswer::Kind::failed, {}, {}, "no way to ask for credentials"};
            }
            auto answer = backend->ask(request);
            if (answer.kind == CredentialsAnswer::Kind::pending) {
                return {CredentialsAnswer::Kind::failed, {}, {}, "the backend gave no answer"};
            }
            return answer;
        }));
}

CredentialsAnswer PendingCredentials::try_take() {
    auto got = m_receiver.try_recv();
    switch (got.status) {
        case RecvStatus::empty:
            return {CredentialsAnswer::Kind::pending, {}, {}, {}};
        case RecvStatus::disconnected:
            return {CredentialsAnswer::Kind::failed, {}, {}, "the request went away unanswered"};
        case RecvStatus::value:
            break;
    }
    return std::move(*got.value);
}

}  // namespace kora_ui
