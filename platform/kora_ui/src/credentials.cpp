#include "kora_ui/credentials.h"

#include <mutex>
#include <utility>

#include "kora_ui/thread.h"

namespace kora_ui {

namespace {
std::mutex g_credentials_backend_mutex;
std::shared_ptr<CredentialsBackend> g_credentials_backend;
}  // namespace

std::shared_ptr<CredentialsBackend> set_credentials_backend(std::shared_ptr<CredentialsBackend> backend) {
    std::lock_guard lock(g_credentials_backend_mutex);
    return std::exchange(g_credentials_backend, std::move(backend));
}

PendingCredentials CredentialsRequest::send() const {
    auto [sender, receiver] = channel<CredentialsAnswer>();
    std::shared_ptr<CredentialsBackend> backend;
    {
        std::lock_guard lock(g_credentials_backend_mutex);
        backend = g_credentials_backend;
    }
    // The sender moves into the thread; if the thread never starts it dies here and the pending
    // result reads as failed.
    (void)spawn_named_thread(m_thread_name, [request = *this, backend, sender = std::move(sender)] {
        if (!backend) {
            sender.send({CredentialsAnswer::Kind::failed, {}, {}, "no way to ask for credentials"});
            return;
        }
        auto answer = backend->ask(request);
        if (answer.kind == CredentialsAnswer::Kind::pending) {
            answer = {CredentialsAnswer::Kind::failed, {}, {}, "the backend gave no answer"};
        }
        sender.send(std::move(answer));
    });
    return PendingCredentials(std::move(receiver));
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
