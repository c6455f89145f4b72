#include "scanner_list.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace os_actions::printing::sane {

struct ScannerList::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Result<std::vector<Scanner>>> last;
    bool renewing = false;
    // Until the first enumeration is back, answers wait for it until here at most; never afterwards.
    std::chrono::steady_clock::time_point first_deadline;
};

ScannerList::ScannerList(HelperSetup setup, std::chrono::milliseconds first_wait)
    : m_state(std::make_shared<State>()), m_setup(std::move(setup)) {
    m_state->first_deadline = std::chrono::steady_clock::now() + first_wait;
}

void ScannerList::renew() {
    std::lock_guard lock(m_state->mutex);
    if (m_state->renewing) {
        return;
    }
    m_state->renewing = true;
    try {
        // Detached: it ends by its own deadline and keeps what it needs alive.
        std::thread([state = m_state, setup = m_setup] {
            auto found = list_scanners(setup);
            std::lock_guard lock(state->mutex);
            state->last = std::move(found);
            state->renewing = false;
            state->changed.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        m_state->renewing = false;
        m_state->last = std::unexpected("Could not look for scanners: " + std::string(error.what()));
    }
}

Result<std::vector<Scanner>> ScannerList::get() {
    renew();
    std::unique_lock lock(m_state->mutex);
    if (!m_state->changed.wait_until(lock, m_state->first_deadline,
                                     [&] { return m_state->last.has_value(); })) {
        return std::unexpected(std::string("Still looking for scanners; refresh again in a moment"));
    }
    return *m_state->last;
}

}  // namespace os_actions::printing::sane
