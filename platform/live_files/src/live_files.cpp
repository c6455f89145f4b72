#include "live_files/live_files.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <array>
#include <atomic>
#include <utility>

#include <unistd.h>

namespace live_files {

namespace {

// Fixed slots a signal handler can read without locks or allocation. A slot is free, being written by
// its owner, or live (only then is its path read).
enum SlotState : int { free_slot, writing, live };
struct Slot {
    std::atomic<int> state{free_slot};
    char path[PATH_MAX]{};
};
constexpr std::size_t slot_count = 64;
std::array<Slot, slot_count> g_slots;

void remove_and_end(int signal) {
    remove_all();
    // SA_RESETHAND has restored the default: the raised signal ends the program once this returns.
    (void)std::raise(signal);
}

void remove_at_exit() {
    remove_all();
}

}  // namespace

LiveFile::LiveFile(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.empty() || text.size() >= PATH_MAX) {
        return;
    }
    for (std::size_t i = 0; i < slot_count; ++i) {
        int expected = free_slot;
        if (g_slots[i].state.compare_exchange_strong(expected, writing)) {
            std::memcpy(g_slots[i].path, text.c_str(), text.size() + 1);
            g_slots[i].state.store(live);
            m_slot = static_cast<int>(i);
            return;
        }
    }
}

LiveFile& LiveFile::operator=(LiveFile&& other) noexcept {
    if (this != &other) {
        forget();
        m_slot = std::exchange(other.m_slot, -1);
    }
    return *this;
}

void LiveFile::forget() noexcept {
    if (m_slot >= 0) {
        g_slots[static_cast<std::size_t>(std::exchange(m_slot, -1))].state.store(free_slot);
    }
}

void remove_all() noexcept {
    for (auto& slot : g_slots) {
        if (slot.state.load() == live) {
            ::unlink(slot.path);
        }
    }
    // Then the remembered folders, emptied by the first pass (rmdir leaves anything else alone).
    for (auto& slot : g_slots) {
        if (slot.state.load() == live) {
            ::rmdir(slot.path);
        }
    }
}

void remove_at_exit_and_on_signals() {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction handler {};
        handler.sa_handler = remove_and_end;
        handler.sa_flags = SA_RESETHAND;
        sigemptyset(&handler.sa_mask);
        (void)::sigaction(signal, &handler, nullptr);
    }
    (void)std::atexit(remove_at_exit);
}

}  // namespace live_files
