// Temporary files that must not outlive the process: their owners name them here while they exist, and
// the end of the program, or a signal that ends it, removes whatever is still named.
#pragma once

#include <filesystem>

namespace live_files {

// A named temporary file, forgotten (not removed) when this goes away; the owner removes it itself.
class LiveFile {
  public:
    LiveFile() = default;
    // Remembers `path`; when every slot is taken the file is removed by its owner only.
    explicit LiveFile(const std::filesystem::path& path);
    LiveFile(LiveFile&& other) noexcept : m_slot(other.m_slot) { other.m_slot = -1; }
    LiveFile& operator=(LiveFile&& other) noexcept;
    LiveFile(const LiveFile&) = delete;
    LiveFile& operator=(const LiveFile&) = delete;
    ~LiveFile() { forget(); }

    // The file is gone or renamed into place: nothing to remove any more.
    void forget() noexcept;
    [[nodiscard]] bool remembered() const { return m_slot >= 0; }

  private:
    int m_slot = -1;
};

// Removes every file still remembered, then every remembered folder that this left empty. Only
// async-signal-safe calls, so a signal handler may call it.
void remove_all() noexcept;

// Calls remove_all at a normal end and on SIGTERM, SIGINT, SIGHUP and SIGQUIT, which then end the
// program as they would have. A signal whose handling someone already changed is left alone.
void remove_at_exit_and_on_signals();

}  // namespace live_files
