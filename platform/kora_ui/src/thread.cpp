#include "kora_ui/thread.h"

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "kora_ui/channel.h"

namespace kora_ui {

namespace {
// Detached workers may still run while the process exits, so this state is never destroyed.
struct Hooks {
    std::mutex mutex;
    std::function<bool(std::string_view)> spawn;
    std::function<void()> wake;
};

Hooks& hooks() {
    static auto* instance = new Hooks;
    return *instance;
}

std::atomic<std::size_t> g_running{0};
}  // namespace

void set_spawn_hook(std::function<bool(std::string_view name)> hook) {
    std::lock_guard lock(hooks().mutex);
    hooks().spawn = std::move(hook);
}

bool spawn_named_thread(const std::string& name, std::function<void()> work) {
    {
        std::lock_guard lock(hooks().mutex);
        if (hooks().spawn && !hooks().spawn(name)) {
            return false;
        }
    }
    g_running.fetch_add(1);
    try {
        std::thread thread([name, work = std::move(work)] {
            // Linux keeps 15 bytes of a name (plus the terminator).
            pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
            work();
            g_running.fetch_sub(1);
        });
        thread.detach();
        return true;
    } catch (const std::system_error&) {
        g_running.fetch_sub(1);
        return false;
    }
}

std::size_t running_named_threads() {
    return g_running.load();
}

bool wait_for_named_threads(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (g_running.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void set_channel_wake_hook(std::function<void()> hook) {
    std::lock_guard lock(hooks().mutex);
    hooks().wake = std::move(hook);
}

namespace detail {
void notify_channel_wake() {
    std::function<void()> hook;
    {
        std::lock_guard lock(hooks().mutex);
        hook = hooks().wake;
    }
    if (hook) {
        hook();
    }
}
}  // namespace detail

}  // namespace kora_ui
