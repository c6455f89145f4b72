// Asking the user for a user name and password (a server that wants to know who is there): a request
// built by the program, run on a named thread by the installed backend (the host's window-modal dialog;
// a scripted one in tests), answered through a pending result. The password is never shown or kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kora_ui/channel.h"

namespace kora_ui {

// What a backend answers, and what polling a pending request gives (`pending` only then).
struct CredentialsAnswer {
    enum class Kind : std::uint8_t { pending, given, cancelled, failed };
    Kind kind = Kind::cancelled;
    std::string user;
    std::string password;
    std::string message;  // why it failed
};

class PendingCredentials {
  public:
    explicit PendingCredentials(Receiver<CredentialsAnswer> receiver) : m_receiver(std::move(receiver)) {}
    // Never blocks; a backend that went away without answering reads as failed.
    [[nodiscard]] CredentialsAnswer try_take();

  private:
    Receiver<CredentialsAnswer> m_receiver;
};

class CredentialsRequest {
  public:
    CredentialsRequest(std::string title, std::string message, std::string accept_label)
        : m_title(std::move(title)), m_message(std::move(message)), m_accept_label(std::move(accept_label)) {}
    CredentialsRequest&& user(std::string name) && {
        m_user = std::move(name);
        return std::move(*this);
    }
    CredentialsRequest&& thread_name(std::string name) && {
        m_thread_name = std::move(name);
        return std::move(*this);
    }

    // Runs the installed backend on a thread named thread_name(). When no thread can be started the
    // pending result fails at once.
    [[nodiscard]] PendingCredentials send() const;

    [[nodiscard]] const std::string& title() const { return m_title; }
    [[nodiscard]] const std::string& message() const { return m_message; }
    [[nodiscard]] const std::string& accept_label() const { return m_accept_label; }
    [[nodiscard]] const std::string& suggested_user() const { return m_user; }
    [[nodiscard]] const std::string& asking_thread_name() const { return m_thread_name; }

  private:
    std::string m_title;
    std::string m_message;
    std::string m_accept_label;
    std::string m_user;
    std::string m_thread_name = "kora-credentials";
};

// Runs one request to its end, blocking the asking thread.
class CredentialsBackend {
  public:
    virtual ~CredentialsBackend() = default;
    [[nodiscard]] virtual CredentialsAnswer ask(const CredentialsRequest& request) = 0;
};

// Installs the backend for every later send(); returns the previous one. Without one, a request fails.
std::shared_ptr<CredentialsBackend> set_credentials_backend(std::shared_ptr<CredentialsBackend> backend);

}  // namespace kora_ui
