#include "scan_helper_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <thread>

#include "bounded_command/companion.h"
#include "bounded_command/spawn.h"
#include "helper_frames.h"

namespace os_actions::printing::sane {

namespace {

using base::UniqueFd;
using bounded_command::detail::Child;
using Clock = std::chrono::steady_clock;
using helper_frames::Kind;

constexpr std::size_t max_page_bytes = std::size_t{5} << 28;  // 1.25 GiB: a PNG of the 1 GiB raw limit
#if defined(__SANITIZE_ADDRESS__)
// An address-sanitized helper reserves terabytes of shadow address space at start: test builds run it
// without the limit.
constexpr std::optional<std::size_t> helper_memory_limit;
#else
// A 600-dpi A3 page at 16 bits a colour is 418 MB raw: its rows, its PNG, the backends and their
// threads fit in 4 GiB with room to spare; a backend that runs away does not take the machine.
constexpr std::optional<std::size_t> helper_memory_limit = std::size_t{4} << 30;
#endif

// What SANE and its backends read: their own settings and debugging switches, the home folder (~/.sane),
// the search path (backends that run a tool), the system bus (network scanners found through avahi).
std::vector<std::string> helper_environment() {
    auto kept = bounded_command::basic_environment();
    for (const char* name : {"SANE_*", "HOME", "PATH", "USER", "LOGNAME", "DBUS_SYSTEM_BUS_ADDRESS"}) {
        kept.emplace_back(name);
    }
    return kept;
}

std::unexpected<std::string> failure(std::string text) {
    return std::unexpected(std::move(text));
}

std::string seconds_text(std::chrono::milliseconds limit) {
    const auto ms = limit.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds")
                          : std::to_string(ms) + " ms";
}

struct Frame {
    Kind kind;
    std::span<const std::uint8_t> payload;  // valid until the next frame is read
};

enum class Stop : std::uint8_t { timed_out, ended, malformed, cancelled };

// How often a wait for the helper looks whether the caller has asked to stop.
constexpr std::chrono::milliseconds stop_check{50};

// One running helper and the frames it has written so far.
class HelperRun {
  public:
    HelperRun(Child child, UniqueFd out) : m_child(std::move(child)), m_out(std::move(out)) {}

    void watch(std::stop_token stop) { m_stop = std::move(stop); }

    // Asks the helper to cancel in SANE and close; kills it when it has not ended by the limit.
    void cancel(std::chrono::milliseconds limit) {
        if (m_child.pid() > 0) {
            ::kill(m_child.pid(), SIGUSR1);  // the helper's cancel (see its main.cpp)
        }
        finish(limit);
    }

    static Result<HelperRun> start(const HelperSetup& setup, std::vector<std::string> args) {
        auto pipe = bounded_command::detail::make_pipe();
        if (!pipe) {
            return failure("Could not start the scanning helper: " + pipe.error().message());
        }
        // The helper's diagnostics (and a backend's) go where ours go.
        UniqueFd diagnostics(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3));
        if (!diagnostics.is_open()) {
            diagnostics = UniqueFd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        }
        bounded_command::PreparedCommand command{setup.program.string(), std::move(args), setup.environment,
                                                 helper_memory_limit};
        command.confinement.no_new_privileges = true;
        command.confinement.dies_with_us = true;
        command.confinement.kept_environment = helper_environment();
        auto child =
            bounded_command::detail::spawn_child(command, std::nullopt, pipe->write_end, diagnostics);
        if (!child) {
            return failure("Could not start the scanning helper " + setup.program.string() + ": " +
                           child.error().message());
        }
        return HelperRun(std::move(*child), std::move(pipe->read_end));
    }

    // The next frame, or why there is none before the deadline.
    std::expected<Frame, Stop> next(Clock::time_point deadline) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_consumed));
        m_consumed = 0;
        for (;;) {
            if (m_buffer.size() >= helper_frames::header_size) {
                const auto length = helper_frames::payload_length(m_buffer.data());
                if (!helper_frames::is_known(m_buffer[0]) || length > helper_frames::max_payload) {
                    return std::unexpected(Stop::malformed);
                }
                if (m_buffer.size() >= helper_frames::header_size + length) {
                    m_consumed = helper_frames::header_size + length;
                    return Frame{static_cast<Kind>(m_buffer[0]),
                                 std::span(m_buffer.data() + helper_frames::header_size, length)};
                }
            }
            if (auto more = read_more(deadline); !more) {
                return std::unexpected(more.error());
            }
        }
    }

    // After an answer: time for the helper to close the device and exit, then whatever is left is killed.
    void finish(std::chrono::milliseconds limit) {
        (void)wait_for_exit(Clock::now() + limit);
        kill();
    }

    void kill() {
        // Once reaped the pid is gone: waiting again would reap some other thread's child.
        if (m_child.pid() > 0) {
            m_child.kill();
            (void)m_child.wait();
        }
    }

    // Why a helper ended without an answer: its own exit, given a moment to happen.
    std::string describe_end(std::chrono::milliseconds limit) {
        const auto status = wait_for_exit(Clock::now() + limit);
        if (!status) {
            kill();
            return "The scanning helper stopped answering; scanning was stopped";
        }
        if (WIFSIGNALED(*status)) {
            return std::string("The scanner driver stopped unexpectedly (") + ::strsignal(WTERMSIG(*status)) +
                   "); scanning was stopped";
        }
        return "The scanning helper ended without an answer (exit status " +
               std::to_string(WIFEXITED(*status) ? WEXITSTATUS(*status) : -1) + ")";
    }

  private:
    std::expected<void, Stop> read_more(Clock::time_point deadline) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (m_stop.stop_requested()) {
                return std::unexpected(Stop::cancelled);
            }
            if (left <= 0) {
                return std::unexpected(Stop::timed_out);
            }
            const long long slice = m_stop.stop_possible() ? stop_check.count() : 60'000;
            pollfd fd{m_out.get(), POLLIN, 0};
            const int ready = ::poll(&fd, 1, static_cast<int>(std::min<long long>(left, slice)));
            if (ready < 0 && errno != EINTR) {
                return std::unexpected(Stop::ended);
            }
            if (ready <= 0) {
                continue;
            }
            const std::size_t old_size = m_buffer.size();
            m_buffer.resize(old_size + 64 * 1024);
            const ssize_t got = ::read(m_out.get(), m_buffer.data() + old_size, 64 * 1024);
            m_buffer.resize(old_size + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            if (got > 0) {
                return {};
            }
            if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                return std::unexpected(Stop::ended);
            }
        }
    }

    // The raw wait status once the helper has exited, or nothing when it still runs at the deadline.
    std::optional<int> wait_for_exit(Clock::time_point deadline) {
        for (;;) {
            siginfo_t info{};
            const pid_t pid = m_child.pid();
            if (pid <= 0) {
                return std::nullopt;
            }
            // WNOWAIT leaves the reaping to Child::wait.
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid) {
                auto status = m_child.wait();
                return status ? std::optional<int>(*status) : std::nullopt;
            }
            if (Clock::now() >= deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    Child m_child;
    UniqueFd m_out;
    std::stop_token m_stop;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_consumed = 0;
};

// The page as it arrives. With the helper's bound set aside up front, it never grows by copying: pages
// that are never touched cost no memory, so the peak stays one encoded page.
class PageBytes {
  public:
    void reserve(std::span<const std::uint8_t> hint) {
        if (hint.size() != 8 || !m_page->empty()) {
            return;
        }
        std::uint64_t bound = 0;
        for (const auto byte : hint) {
            bound = bound << 8 | byte;
        }
        m_page->reserve(static_cast<std::size_t>(std::min<std::uint64_t>(bound, max_page_bytes)));
    }

    bool append(std::span<const std::uint8_t> bytes) {
        if (m_page->size() + bytes.size() > max_page_bytes) {
            return false;
        }
        m_page->insert(m_page->end(), bytes.begin(), bytes.end());
        return true;
    }

    Result<Bytes> take() {
        if (m_page->empty()) {
            return failure("The scanning helper sent no page");
        }
        return Bytes(std::move(m_page));
    }

  private:
    std::shared_ptr<std::vector<std::uint8_t>> m_page = std::make_shared<std::vector<std::uint8_t>>();
};

std::string timeout_message(Kind step, const Deadlines& d) {
    switch (step) {
        case Kind::starting:
            return "The scanner did not start scanning within " + seconds_text(d.start) +
                   "; scanning was stopped";
        case Kind::reading:
            return "The scanner stopped sending the page (nothing for " + seconds_text(d.read) +
                   "); scanning was stopped";
        default:
            return "The scanner did not answer within " + seconds_text(d.open) + "; scanning was stopped";
    }
}

std::chrono::milliseconds limit_of(Kind step, const Deadlines& d) {
    return step == Kind::starting ? d.start : step == Kind::reading ? d.read : d.open;
}

std::string text_of(std::span<const std::uint8_t> payload) {
    return {payload.begin(), payload.end()};
}

}  // namespace

std::filesystem::path HelperSetup::default_program() {
    static const std::filesystem::path found = [] {
        constexpr const char* name = "presswick-scan-helper";
        if (auto shipped = bounded_command::companion_program(name)) {
            return *shipped;
        }
#ifdef PRESSWICK_SCAN_HELPER_BUILD_PATH
        if (::access(PRESSWICK_SCAN_HELPER_BUILD_PATH, X_OK) == 0) {
            return std::filesystem::path(PRESSWICK_SCAN_HELPER_BUILD_PATH);
        }
#endif
        return std::filesystem::path(name);  // on the search path
    }();
    return found;
}

Result<std::vector<Scanner>> list_scanners(const HelperSetup& setup) {
    auto run = HelperRun::start(setup, {"list"});
    if (!run) {
        return std::unexpected(run.error());
    }
    const auto deadline = Clock::now() + setup.deadlines.list;
    std::vector<Scanner> scanners;
    for (;;) {
        auto frame = run->next(deadline);
        if (!frame) {
            if (frame.error() == Stop::timed_out) {
                run->kill();
                return failure("Looking for scanners took longer than " + seconds_text(setup.deadlines.list) +
                               "; a scanner driver may be stuck");
            }
            if (frame.error() == Stop::ended) {
                return failure(run->describe_end(setup.deadlines.close));
            }
            run->kill();
            return failure("The scanning helper sent a malformed answer");
        }
        switch (frame->kind) {
            case Kind::scanner: {
                const std::string payload = text_of(frame->payload);
                const auto nul = payload.find('\0');
                if (nul != std::string::npos && nul > 0) {
                    const auto second = payload.find('\0', nul + 1);
                    Scanner scanner{payload.substr(0, nul), payload.substr(nul + 1, second - nul - 1)};
                    if (second != std::string::npos) {
                        const std::string sources = payload.substr(second + 1);
                        scanner.has_feeder = sources.find('a') != std::string::npos;
                        scanner.has_two_sided = sources.find('d') != std::string::npos;
                    }
                    scanners.push_back(std::move(scanner));
                }
                break;
            }
            case Kind::finished:
                run->finish(setup.deadlines.close);
                return scanners;
            case Kind::failed: {
                auto message = text_of(frame->payload);
                run->finish(setup.deadlines.close);
                return failure(std::move(message));
            }
            default:
                break;
        }
    }
}

Result<Bytes> scan_page(const HelperSetup& setup, const std::string& scanner_id,
                        const ScanSettings& settings) {
    // One sheet, also from the feeder: the scan is stopped once the first page is in.
    Bytes first;
    std::stop_source enough;
    auto end = scan_pages(
        setup, scanner_id, settings,
        [&](Bytes page) {
            first = std::move(page);
            enough.request_stop();
        },
        enough.get_token());
    if (!end) {
        return std::unexpected(std::move(end.error()));
    }
    if (!first) {
        return failure(*end == ScanEnd::feeder_empty ? "The document feeder is empty"
                                                     : "The scanning helper sent no page");
    }
    return first;
}

Result<ScanEnd> scan_pages(const HelperSetup& setup, const std::string& scanner_id,
                           const ScanSettings& settings, const PageSink& on_page, std::stop_token stop) {
    if (stop.stop_requested()) {
        return ScanEnd::cancelled;
    }
    auto run = HelperRun::start(setup, {"scan", scanner_id, std::to_string(settings.resolution_dpi),
                                        std::to_string(std::to_underlying(settings.colour_mode)),
                                        std::to_string(std::to_underlying(settings.source))});
    if (!run) {
        return std::unexpected(run.error());
    }
    run->watch(std::move(stop));
    Kind step = Kind::opening;
    PageBytes page;
    std::size_t pages = 0;
    for (;;) {
        auto frame = run->next(Clock::now() + limit_of(step, setup.deadlines));
        if (!frame) {
            switch (frame.error()) {
                case Stop::cancelled:
                    run->cancel(setup.deadlines.cancel);
                    return ScanEnd::cancelled;
                case Stop::timed_out:
                    run->kill();
                    return failure(timeout_message(step, setup.deadlines));
                case Stop::ended:
                    return failure(run->describe_end(setup.deadlines.close));
                case Stop::malformed:
                    break;
            }
            run->kill();
            return failure("The scanning helper sent a malformed answer");
        }
        switch (frame->kind) {
            case Kind::opening:
            case Kind::starting:
            case Kind::reading:
                step = frame->kind;
                break;
            case Kind::size_hint:
                page.reserve(frame->payload);
                break;
            case Kind::data:
                if (!page.append(frame->payload)) {
                    run->kill();
                    return failure("The scanned image is too large");
                }
                break;
            case Kind::page_done: {
                auto bytes = page.take();
                if (!bytes) {
                    run->kill();
                    return std::unexpected(std::move(bytes.error()));
                }
                page = PageBytes{};
                ++pages;
                on_page(std::move(*bytes));
                break;
            }
            case Kind::feeder_empty:
                run->finish(setup.deadlines.close);
                return ScanEnd::feeder_empty;
            case Kind::finished:
                run->finish(setup.deadlines.close);
                if (pages == 0) {
                    return failure("The scanning helper sent no page");
                }
                return ScanEnd::done;
            case Kind::failed: {
                auto message = text_of(frame->payload);
                run->finish(setup.deadlines.close);
                // A feeder that jams or fails after some sheets keeps the pages before it.
                if (pages > 0) {
                    return ScanEnd::done;
                }
                return failure(std::move(message));
            }
            default:
                break;
        }
    }
}

}  // namespace os_actions::printing::sane
