#include "bounded_command/bounded_command.h"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "bounded_command/spawn.h"

namespace bounded_command {

namespace {

using base::UniqueFd;
using detail::Child;
using Clock = std::chrono::steady_clock;

constexpr std::size_t read_chunk = 64 * 1024;

Failure io_failure(std::error_code error) {
    return Failure{FailureKind::io, error, {}, {}};
}

// One output stream of the child: the read end of its pipe and what has arrived so far.
struct Stream {
    const char* name;
    UniqueFd fd;
    std::size_t limit;
    std::vector<std::uint8_t> bytes;
};

enum class ReadResult : std::uint8_t { more, end, over_limit, failed };

// One read of what is available. Never holds more than limit + 1 bytes: one byte over is enough to know.
ReadResult read_available(Stream& stream, std::error_code& error) {
    const std::size_t left = stream.limit - std::min(stream.limit, stream.bytes.size());
    const std::size_t want = left >= read_chunk ? read_chunk : left + 1;
    const std::size_t old_size = stream.bytes.size();
    stream.bytes.resize(old_size + want);
    const ssize_t got = ::read(stream.fd.get(), stream.bytes.data() + old_size, want);
    stream.bytes.resize(old_size + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0) {
        if (errno == EINTR || errno == EAGAIN) {
            return ReadResult::more;
        }
        error = {errno, std::system_category()};
        return ReadResult::failed;
    }
    if (got == 0) {
        stream.fd.reset();
        return ReadResult::end;
    }
    return stream.bytes.size() > stream.limit ? ReadResult::over_limit : ReadResult::more;
}

// A descriptor that becomes readable when the child ends, where the kernel offers one.
UniqueFd open_pidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return UniqueFd(fd >= 0 ? static_cast<int>(fd) : -1);
#else
    (void)pid;
    return UniqueFd();
#endif
}

bool child_has_ended(pid_t pid) {
    siginfo_t info{};
    // WNOWAIT leaves the child to be reaped by Child::wait.
    const int result = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    return result == 0 && info.si_pid == pid;
}

ExitStatus exit_status_of(int status) {
    ExitStatus exit;
    if (WIFEXITED(status)) {
        exit.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exit.signal = WTERMSIG(status);
    }
    return exit;
}

}  // namespace

std::expected<Output, Failure> run_prepared_with_limits(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    std::size_t stdout_limit, std::size_t stderr_limit, std::chrono::milliseconds time_limit) {
    return run_prepared_with_limits(command, working_directory, stdout_limit, stderr_limit, time_limit, {});
}

std::expected<Output, Failure> run_prepared_with_limits(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    std::size_t stdout_limit, std::size_t stderr_limit, std::chrono::milliseconds time_limit,
    const std::function<bool()>& keep_going) {
    // Limits beyond a year are a year, so that the deadline cannot overflow the clock.
    const auto deadline =
        Clock::now() + std::clamp<std::chrono::milliseconds>(time_limit, {}, std::chrono::hours(24 * 366));

    auto out_pipe = detail::make_pipe();
    if (!out_pipe) {
        return std::unexpected(io_failure(out_pipe.error()));
    }
    auto err_pipe = detail::make_pipe();
    if (!err_pipe) {
        return std::unexpected(io_failure(err_pipe.error()));
    }
    auto spawned = detail::spawn_child(command, working_directory, out_pipe->write_end, err_pipe->write_end);
    if (!spawned) {
        return std::unexpected(io_failure(spawned.error()));
    }
    Child child = std::move(*spawned);
    // Only the child keeps the write ends, so that its exit ends both streams.
    out_pipe->write_end.reset();
    err_pipe->write_end.reset();

    std::array<Stream, 2> streams{Stream{"stdout", std::move(out_pipe->read_end), stdout_limit, {}},
                                  Stream{"stderr", std::move(err_pipe->read_end), stderr_limit, {}}};
    UniqueFd pidfd = open_pidfd(child.pid());
    bool ended = false;

    // Either the streams are open or the child still runs: without a pidfd, look again every 10 ms.
    while (streams[0].fd.is_open() || streams[1].fd.is_open() || !ended) {
        const auto now = Clock::now();
        if (now >= deadline) {
            child.kill();
            return std::unexpected(Failure{FailureKind::timed_out, {}, {}, {}});
        }
        if (keep_going && !keep_going()) {
            child.kill();
            return std::unexpected(Failure{FailureKind::cancelled, {}, {}, {}});
        }
        auto wait_ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        if (keep_going) {
            wait_ms = std::min<decltype(wait_ms)>(wait_ms, 100);
        }
        std::array<pollfd, 3> fds{};
        std::array<Stream*, 3> owners{};
        nfds_t count = 0;
        for (auto& stream : streams) {
            if (stream.fd.is_open()) {
                owners[count] = &stream;
                fds[count++] = pollfd{stream.fd.get(), POLLIN, 0};
            }
        }
        if (!ended && pidfd.is_open()) {
            fds[count++] = pollfd{pidfd.get(), POLLIN, 0};
        } else if (!ended) {
            wait_ms = std::min<decltype(wait_ms)>(wait_ms, 10);
        }
        const int ready =
            ::poll(fds.data(), count, static_cast<int>(std::min<decltype(wait_ms)>(wait_ms, 60'000)));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(io_failure({errno, std::system_category()}));
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (owners[i] == nullptr) {
                ended = true;
                continue;
            }
            std::error_code error;
            switch (read_available(*owners[i], error)) {
                case ReadResult::more:
                case ReadResult::end:
                    break;
                case ReadResult::over_limit:
                    child.kill();
                    return std::unexpected(Failure{FailureKind::limit_exceeded, {}, owners[i]->name, {}});
                case ReadResult::failed:
                    return std::unexpected(io_failure(error));
            }
        }
        if (!ended && !pidfd.is_open()) {
            ended = child_has_ended(child.pid());
        }
    }

    auto status = child.wait();
    if (!status) {
        return std::unexpected(
            Failure{FailureKind::process, status.error(), {}, "the child could not be waited for"});
    }
    return Output{std::move(streams[0].bytes), std::move(streams[1].bytes), exit_status_of(*status)};
}

}  // namespace bounded_command
