#include "credentials.h"

#include <string.h>  // explicit_bzero

#include <map>
#include <mutex>

#include "printing/printing.h"

namespace os_actions::printing {

namespace {

constexpr std::string_view credentials_wanted_prefix = "The print server asks for a user name and password: ";

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
    detail::wipe(entry.password);
}

}  // namespace

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
    entry.password.assign(password);
    detail::wipe(user);
    detail::wipe(password);
}

void forget_server_credentials() {
    std::lock_guard lock(credentials_store().mutex);
    for (auto& [server, entry] : credentials_store().by_server) {
        wipe_entry(entry);
    }
    credentials_store().by_server.clear();
}

std::string credentials_wanted_error(const std::string& server) {
    return std::string(credentials_wanted_prefix) + server;
}

std::optional<std::string> credentials_wanted(const std::string& error) {
    if (!error.starts_with(credentials_wanted_prefix) || error.size() == credentials_wanted_prefix.size()) {
        return std::nullopt;
    }
    return error.substr(credentials_wanted_prefix.size());
}

}  // namespace os_actions::printing
