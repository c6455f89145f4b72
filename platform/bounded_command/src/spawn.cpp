#include "bounded_command/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace bounded_command::detail {

namespace {

std::error_code last_error() {
    return {errno, std::system_category()};
}

class FileActions {
  public:
    FileActions() { m_status = posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() {
        if (m_status == 0) {
            posix_spawn_file_actions_destroy(&m_actions);
        }
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    [[nodiscard]] int status() const { return m_status; }
    posix_spawn_file_actions_t* get() { return &m_actions; }

  private:
    posix_spawn_file_actions_t m_actions{};
    int m_status;
};

class Attributes {
  public:
    Attributes() { m_status = posix_spawnattr_init(&m_attr); }
    ~Attributes() {
        if (m_status == 0) {
            posix_spawnattr_destroy(&m_attr);
        }
    }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;

    [[nodiscard]] int status() const { return m_status; }
    posix_spawnattr_t* get() { return &m_attr; }

  private:
    posix_spawnattr_t m_attr{};
    int m_status;
};

bool kept(const std::optional<std::vector<std::string>>& kept_names, std::string_view name) {
    if (!kept_names) {
        return true;
    }
    for (const std::string_view pattern : *kept_names) {
        if (pattern.ends_with('*') ? name.starts_with(pattern.substr(0, pattern.size() - 1))
                                   : name == pattern) {
            return true;
        }
    }
    return false;
}

// The inherited environment (as much as the confinement keeps) with the command's additions replacing
// entries of the same name.
std::vector<std::string> child_environment(const PreparedCommand& command) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [added, value] : command.environment) {
            replaced = replaced || added == name;
        }
        if (!replaced && kept(command.confinement.kept_environment, name)) {
            entries.emplace_back(text);
        }
    }
    for (const auto& [name, value] : command.environment) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (auto& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// In the forked child: only async-signal-safe calls until exec. On failure the error number goes back
// through `report` (close-on-exec, so a successful exec closes it with nothing written).
[[noreturn]] void become_limited_child(const PreparedCommand& command,
                                       const std::optional<std::filesystem::path>& working_directory,
                                       int stdout_write, int stderr_write, int report, char** argv,
                                       char** envp, pid_t parent) {
    auto fail = [report] {
        const int error = errno;
        (void)!::write(report, &error, sizeof error);
        ::_exit(127);
    };
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        (void)::sigaction(signal, &defaults, nullptr);
    }
    sigset_t empty;
    sigemptyset(&empty);
    if (::setpgid(0, 0) != 0 || ::sigprocmask(SIG_SETMASK, &empty, nullptr) != 0) {
        fail();
    }
    const int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || ::dup2(null, STDIN_FILENO) < 0 || ::dup2(stdout_write, STDOUT_FILENO) < 0 ||
        ::dup2(stderr_write, STDERR_FILENO) < 0) {
        fail();
    }
    // What others opened without close-on-exec; the report pipe closes itself on exec.
    if (report > STDERR_FILENO + 1) {
        (void)::close_range(STDERR_FILENO + 1, static_cast<unsigned>(report) - 1, 0);
    }
    (void)::close_range(static_cast<unsigned>(report) + 1, ~0U, 0);
    if (working_directory && ::chdir(working_directory->c_str()) != 0) {
        fail();
    }
    if (command.memory_limit) {
        const rlimit limit{*command.memory_limit, *command.memory_limit};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            fail();
        }
    }
    const auto& confinement = command.confinement;
    if (confinement.cpu_limit) {
        const auto seconds = static_cast<rlim_t>(confinement.cpu_limit->count());
        const rlimit limit{seconds, seconds + 1};
        if (::setrlimit(RLIMIT_CPU, &limit) != 0) {
            fail();
        }
    }
    if (confinement.no_new_privileges && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        fail();
    }
    if (confinement.dies_with_us) {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
            fail();
        }
        if (::getppid() != parent) {
            ::_exit(127);  // we ended before the request took hold
        }
    }
    ::execvpe(command.program.c_str(), argv, envp);
    fail();
    ::_exit(127);  // not reached: fail() ends the child
}

}  // namespace

}  // namespace bounded_command::detail

namespace bounded_command {

std::vector<std::string> basic_environment() {
    return {"LANG", "LANGUAGE", "LC_*", "TZ", "TMPDIR", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"};
}

}  // namespace bounded_command

namespace bounded_command::detail {

std::expected<Pipe, std::error_code> make_pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return std::unexpected(last_error());
    }
    return Pipe{base::UniqueFd(ends[0]), base::UniqueFd(ends[1])};
}

Child::~Child() {
    if (m_pid > 0) {
        kill();
        (void)wait();
    }
}

void Child::kill() const {
    if (m_pid > 0) {
        // The child leads its own group: this reaches anything it started as well.
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
    }
}

std::expected<int, std::error_code> Child::wait() {
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(m_pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        const auto error = last_error();
        if (error != std::errc::interrupted) {
            m_pid = -1;  // nothing left that we could reap
        }
        return std::unexpected(error);
    }
    m_pid = -1;
    return status;
}

std::expected<Child, std::error_code> spawn_child(
    const PreparedCommand& command, const std::optional<std::filesystem::path>& working_directory,
    const base::UniqueFd& stdout_write, const base::UniqueFd& stderr_write) {
    FileActions actions;
    if (actions.status() != 0) {
        return std::unexpected(std::error_code(actions.status(), std::system_category()));
    }
    int status = posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (status == 0) {
        status = posix_spawn_file_actions_adddup2(actions.get(), stdout_write.get(), STDOUT_FILENO);
    }
    if (status == 0) {
        status = posix_spawn_file_actions_adddup2(actions.get(), stderr_write.get(), STDERR_FILENO);
    }
    if (status == 0) {
        // Descriptors that others opened without close-on-exec stay ours as well.
        status = posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
    }
    if (status == 0 && working_directory) {
        status = posix_spawn_file_actions_addchdir_np(actions.get(), working_directory->c_str());
    }

    Attributes attributes;
    if (status == 0) {
        status = attributes.status();
    }
    sigset_t defaults;
    sigset_t empty;
    sigfillset(&defaults);
    sigemptyset(&empty);
    if (status == 0) {
        status = posix_spawnattr_setflags(
            attributes.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    if (status == 0) {
        status = posix_spawnattr_setpgroup(attributes.get(), 0);
    }
    if (status == 0) {
        status = posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    }
    if (status == 0) {
        status = posix_spawnattr_setsigmask(attributes.get(), &empty);
    }
    if (status != 0) {
        return std::unexpected(std::error_code(status, std::system_category()));
    }

    std::vector<std::string> argv_texts;
    argv_texts.reserve(command.args.size() + 1);
    argv_texts.push_back(command.program);
    argv_texts.insert(argv_texts.end(), command.args.begin(), command.args.end());
    std::vector<std::string> env_texts = child_environment(command);
    std::vector<char*> argv = pointers_to(argv_texts);
    std::vector<char*> envp = pointers_to(env_texts);

    if (command.memory_limit || command.confinement.any()) {
        // posix_spawn cannot set a resource limit or confine: fork, limit, exec, and learn of a failed
        // exec by pipe.
        auto report = make_pipe();
        if (!report) {
            return std::unexpected(report.error());
        }
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) {
            return std::unexpected(last_error());
        }
        if (pid == 0) {
            become_limited_child(command, working_directory, stdout_write.get(), stderr_write.get(),
                                 report->write_end.get(), argv.data(), envp.data(), parent);
        }
        Child child(pid);
        report->write_end.reset();
        int error = 0;
        ssize_t got;
        do {
            got = ::read(report->read_end.get(), &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        if (got == static_cast<ssize_t>(sizeof error)) {
            (void)child.wait();
            return std::unexpected(std::error_code(error, std::system_category()));
        }
        return child;
    }

    pid_t pid = -1;
    status = posix_spawnp(&pid, command.program.c_str(), actions.get(), attributes.get(), argv.data(),
                          envp.data());
    if (status != 0) {
        // glibc reports a failed exec here and has already reaped the short-lived child.
        return std::unexpected(std::error_code(status, std::system_category()));
    }
    return Child(pid);
}

}  // namespace bounded_command::detail
