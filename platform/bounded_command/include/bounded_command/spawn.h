// The owned pieces of one child run: descriptors, the spawned child, and how it is started. Public for
// services that talk to a long-running helper of their own over its standard output.
#pragma once

#include <sys/types.h>

#include <expected>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/unique_fd.h"
#include "bounded_command/bounded_command.h"

namespace bounded_command::detail {

struct Pipe {
    base::UniqueFd read_end;
    base::UniqueFd write_end;
};

// A close-on-exec pipe, so that no other child ever inherits it.
[[nodiscard]] std::expected<Pipe, std::error_code> make_pipe();

// A started child. Until it is waited for, destruction kills its process group and reaps it,
// so no path out of a run leaves a running child or a zombie behind.
class Child {
  public:
    explicit Child(pid_t pid) : m_pid(pid) {}
    Child(Child&& other) noexcept : m_pid(other.m_pid) { other.m_pid = -1; }
    Child& operator=(Child&&) = delete;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    [[nodiscard]] pid_t pid() const { return m_pid; }
    // SIGKILL to the child's process group and to the child itself.
    void kill() const;
    // Blocks until the child has ended and reaps it; the raw wait status, or the error of waitpid.
    [[nodiscard]] std::expected<int, std::error_code> wait();

  private:
    pid_t m_pid;
};

// posix_spawnp with stdin from /dev/null, stdout and stderr to the given pipe ends, no other descriptor, a
// new process group, default signal dispositions and an empty signal mask.
[[nodiscard]] std::expected<Child, std::error_code> spawn_child(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    const base::UniqueFd& stdout_write, const base::UniqueFd& stderr_write);

}  // namespace bounded_command::detail
