// Named, detached threads. Linux keeps 15 bytes of a thread name; the whole name stays with the caller.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kora_ui {

// Starts a detached thread named `name` running `work`; false when the thread could not be created.
[[nodiscard]] bool spawn_named_thread(const std::string& name, std::function<void()> work);

// Named threads started and not yet finished; lets tests wait for workers they set off.
[[nodiscard]] std::size_t running_named_threads();

// Waits until every named thread has finished, at most `limit`; false when some still run.
[[nodiscard]] bool wait_for_named_threads(std::chrono::milliseconds limit);

// Tests see every spawn by name and may refuse it (return false) to act as a failed thread creation.
void set_spawn_hook(std::function<bool(std::string_view name)> hook);

}  // namespace kora_ui
