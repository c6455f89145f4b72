#include "kora_ui/thread.h"

#include <pthread.h>

#include <mutex>
#include <system_error>
#include <thread>

#include "kora_ui/channel.h"

namespace kora_ui {

namespace {
std::mutex g_hook_mutex;
std::function<bool(std::string_view)> g_spawn_hook;
std::function<void()> g_wake_hook;
}  // namespace

void set_spawn_hook(std::function<bool(std::string_view name)> hook) {
    std::lock_guard lock(g_hook_mutex);
    g_spawn_hook = std::move(hook);
}

bool spawn_named_thread(const std::string& name, std::function<void()> work) {
    {
        std::lock_guard lock(g_hook_mutex);
        if (g_spawn_hook && !g_spawn_hook(name)) {
            return false;
        }
    }
    try {
        std::thread thread([name, work = std::move(work)] {
            // Linux keeps 15 bytes of a name (plus the terminator).
            pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
            work();
        });
        thread.detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void set_channel_wake_hook(std::function<void()> hook) {
    std::lock_guard lock(g_hook_mutex);
    g_wake_hook = std::move(hook);
}

namespace detail {
void notify_channel_wake() {
    std::function<void()> hook;
    {
        std::lock_guard lock(g_hook_mutex);
        hook = g_wake_hook;
    }
    if (hook) {
        hook();
    }
}
}  // namespace detail

}  // namespace kora_ui
