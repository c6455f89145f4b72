// bounded_command: runs one child program to completion under limits on its output and its run time.
// The child gets an argument vector (never a shell), standard input from /dev/null and its own process group.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace bounded_command {

// Limits a child takes into the program it runs (they survive exec and cannot be lifted there).
struct Confinement {
    // PR_SET_NO_NEW_PRIVS: no set-user-id bit or file capability gives the child more than we have.
    bool no_new_privileges = false;
    // PR_SET_PDEATHSIG: the child is killed when the thread that started it ends (with the program).
    bool dies_with_us = false;
    // Only these inherited environment variables reach the child (a name ending in "*" keeps every
    // name it begins), plus the command's own additions. None: the whole environment is inherited.
    std::optional<std::vector<std::string>> kept_environment = std::nullopt;
    // RLIMIT_CPU in seconds of processor time: past it the child gets SIGXCPU, a second later SIGKILL.
    std::optional<std::chrono::seconds> cpu_limit = std::nullopt;

    [[nodiscard]] bool any() const {
        return no_new_privileges || dies_with_us || kept_environment.has_value() || cpu_limit.has_value();
    }
};

// The environment variables that locale, fonts and the sanitizers of test builds read: what any
// confined helper keeps.
[[nodiscard]] std::vector<std::string> basic_environment();

struct PreparedCommand {
    std::string program;  // looked up on PATH unless it contains a '/'
    std::vector<std::string> args;
    // Added to the inherited environment; a name already present takes the new value.
    std::vector<std::pair<std::string, std::string>> environment;
    // The child's address space in bytes (RLIMIT_AS), set before it runs a single instruction of its
    // own: an allocation beyond it fails in the child. None: the limit we have ourselves.
    std::optional<std::size_t> memory_limit = std::nullopt;
    // How the child is confined, from before it runs a single instruction of its own; by default it runs
    // as we do.
    Confinement confinement = {};
};

struct ExitStatus {
    std::optional<int> code;    // set when the child exited
    std::optional<int> signal;  // set when a signal ended it
    [[nodiscard]] bool success() const { return code == 0; }
    bool operator==(const ExitStatus&) const = default;
};

struct Output {
    std::vector<std::uint8_t> stdout_bytes;
    std::vector<std::uint8_t> stderr_bytes;
    ExitStatus status;
};

enum class FailureKind : std::uint8_t {
    io,              // a system call failed; `error` says which error (not found: the program does not exist)
    limit_exceeded,  // `stream` ("stdout" or "stderr") passed its limit
    timed_out,       // the time limit passed
    process,         // the child could not be waited for; `message` says why
    cancelled,       // the caller's keep_going answered false
};

struct Failure {
    FailureKind kind = FailureKind::process;
    std::error_code error;
    std::string stream;
    std::string message;

    // The program was not found (no such file on the search path).
    [[nodiscard]] bool not_found() const {
        return kind == FailureKind::io && error == std::errc::no_such_file_or_directory;
    }
};

// Starts `command`, collects standard output and standard error concurrently and waits for the child.
// A stream that delivers more than its limit, or a run that lasts longer than `time_limit`, stops the
// collection: the child's process group is killed and reaped, and the failure is returned.
// `working_directory`, when given, is where the child starts; otherwise it inherits ours.
// Every path reaps the child and closes every descriptor it opened.
[[nodiscard]] std::expected<Output, Failure> run_prepared_with_limits(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    std::size_t stdout_limit, std::size_t stderr_limit, std::chrono::milliseconds time_limit);

// The same, and the run stops (the child killed and reaped, `cancelled`) as soon as `keep_going`, asked at
// least every 100 ms, answers false: the caller no longer wants the result.
[[nodiscard]] std::expected<Output, Failure> run_prepared_with_limits(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    std::size_t stdout_limit, std::size_t stderr_limit, std::chrono::milliseconds time_limit,
    const std::function<bool()>& keep_going);

}  // namespace bounded_command
