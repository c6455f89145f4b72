#include "credentials.h"

#include <string.h>  // explicit_bzero
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "printing/printing.h"

namespace os_actions::printing {

namespace {

constexpr std::string_view credentials_wanted_prefix = "The print server asks for a user name and password: ";
constexpr std::string_view credentials_refused_text =
    "The print server did not accept the user name or password.";

struct CredentialsStore {
    std::mutex mutex;
    std::map<std::string, detail::ServerCredentials> by_server;
};

CredentialsStore& credentials_store() {
    static auto* instance = new CredentialsStore;  // detached workers may read it while the process exits
    return *instance;
}

void wipe_entry(detail::ServerCredentials& entry) {
    detail::wipe(entry.user);
    entry.password.clear();
}

}  // namespace

detail::SecretText::SecretText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t mapped = (text.size() + 1 + page - 1) / page * page;
    void* memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return;  // no memory for it: as if nothing were kept, so the server asks again
    }
    m_dontdump = ::madvise(memory, mapped, MADV_DONTDUMP) == 0;
    m_locked = ::mlock(memory, mapped) == 0;
    m_data = static_cast<char*>(memory);
    m_mapped = mapped;
    m_size = text.size();
    std::memcpy(m_data, text.data(), text.size());
    m_data[m_size] = '\0';
}

detail::SecretText& detail::SecretText::operator=(const SecretText& other) {
    if (this != &other) {
        *this = SecretText(other.view());
    }
    return *this;
}

detail::SecretText::SecretText(SecretText&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)),
      m_locked(std::exchange(other.m_locked, false)),
      m_dontdump(std::exchange(other.m_dontdump, false)) {}

detail::SecretText& detail::SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        clear();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
        m_locked = std::exchange(other.m_locked, false);
        m_dontdump = std::exchange(other.m_dontdump, false);
    }
    return *this;
}

void detail::SecretText::clear() {
    if (m_data == nullptr) {
        return;
    }
    explicit_bzero(m_data, m_mapped);
    if (m_locked) {
        ::munlock(m_data, m_mapped);
    }
    ::munmap(m_data, m_mapped);
    m_data = nullptr;
    m_size = m_mapped = 0;
    m_locked = m_dontdump = false;
}

void detail::wipe(std::string& text) {
    explicit_bzero(text.data(), text.size());
    text.clear();
}

std::optional<detail::ServerCredentials> detail::stored_credentials(const std::string& server) {
    std::lock_guard lock(credentials_store().mutex);
    const auto it = credentials_store().by_server.find(server);
    if (it == credentials_store().by_server.end()) {
        return std::nullopt;
    }
    return it->second;
}

void set_server_credentials(const std::string& server, std::string user, std::string password) {
    std::lock_guard lock(credentials_store().mutex);
    auto& entry = credentials_store().by_server[server];
    wipe_entry(entry);
    entry.user.assign(user);
    entry.password = detail::SecretText(password);
    detail::wipe(user);
    detail::wipe(password);
}

void detail::forget_credentials(const std::string& server) {
    std::lock_guard lock(credentials_store().mutex);
    const auto it = credentials_store().by_server.find(server);
    if (it != credentials_store().by_server.end()) {
        wipe_entry(it->second);
        credentials_store().by_server.erase(it);
    }
}

void forget_server_credentials() {
    std::lock_guard lock(credentials_store().mutex);
    for (auto& [server, entry] : credentials_store().by_server) {
        wipe_entry(entry);
    }
    credentials_store().by_server.clear();
}

ServiceError credentials_wanted_error(const std::string& server) {
    return {ServiceError::Kind::credentials_wanted, server, std::string(credentials_wanted_prefix) + server};
}

ServiceError credentials_refused_error() {
    return {ServiceError::Kind::credentials_refused, {}, std::string(credentials_refused_text)};
}

}  // namespace os_actions::printing
