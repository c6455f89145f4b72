#include "credentials.h"

#include <string.h>  // explicit_bzero

#include <map>
#include <mutex>

#include "printing/printing.h"

namespace os_actions::printing {

namespace {

constexpr std::string_view wanted_prefix = "The print server asks for a user name and password: ";

struct Store {
    std::mutex mutex;
    std::map<std::string, detail::ServerCredentials> by_server;
};

Store& store() {
    static auto* instance = new Store;  // detached workers may read it while the process exits
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
    std::lock_guard lock(store().mutex);
    const auto it = store().by_server.find(server);
    if (it == store().by_server.end()) {
        return std::nullopt;
    }
    return it->second;
}

void set_server_credentials(const std::string& server, std::string user, std::string password) {
    std::lock_guard lock(store().mutex);
    auto& entry = store().by_server[server];
    wipe_entry(entry);
    entry.user.assign(user);
    entry.password.assign(password);
    detail::wipe(user);
    detail::wipe(password);
}

void forget_server_credentials() {
    std::lock_guard lock(store().mutex);
    for (auto& [server, entry] : store().by_server) {
        wipe_entry(entry);
    }
    store().by_server.clear();
}

std::string credentials_wanted_error(const std::string& server) {
    return std::string(wanted_prefix) + server;
}

std::optional<std::string> credentials_wanted(const std::string& error) {
    if (!error.starts_with(wanted_prefix) || error.size() == wanted_prefix.size()) {
        return std::nullopt;
    }
    return error.substr(wanted_prefix.size());
}

}  // namespace os_actions::printing
