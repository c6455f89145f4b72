#include "bounded_command/bounded_command.h"
#include "bounded_command/companion.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using bounded_command::FailureKind;
using bounded_command::PreparedCommand;
using bounded_command::run_prepared_with_limits;

constexpr std::size_t mib = 1024 * 1024;

PreparedCommand child(std::vector<std::string> args) {
    return PreparedCommand{TEST_CHILD, std::move(args), {}};
}

auto run(const PreparedCommand& command, std::size_t out_limit = mib, std::size_t err_limit = 4096,
         std::chrono::milliseconds time_limit = 10s) {
    return run_prepared_with_limits(command, std::nullopt, out_limit, err_limit, time_limit);
}

std::string text_of(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::size_t open_descriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// No child of ours is left, not even a zombie.
bool no_children_left() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// Every test must leave neither a child nor a descriptor behind, whatever path the run took.
class BoundedCommand : public testing::Test {
  protected:
    void SetUp() override { m_descriptors = open_descriptors(); }
    void TearDown() override {
        EXPECT_TRUE(no_children_left());
        EXPECT_EQ(open_descriptors(), m_descriptors);
    }

  private:
    std::size_t m_descriptors = 0;
};

TEST_F(BoundedCommand, CollectsOutputAndExitStatus) {
    const auto result = run(child({"args", "one", "two words", "$HOME; rm -rf /", "*"}));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(text_of(result->stdout_bytes), "one\ntwo words\n$HOME; rm -rf /\n*\n");
    EXPECT_TRUE(result->stderr_bytes.empty());
    EXPECT_TRUE(result->status.success());
    EXPECT_EQ(result->status.code, 0);
}

TEST_F(BoundedCommand, OutputOfExactlyTheLimitIsAccepted) {
    const auto result = run(child({"stdout", std::to_string(mib)}), mib);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->stdout_bytes.size(), mib);
    const auto err = run(child({"stderr", "4096"}), mib, 4096);
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->stderr_bytes.size(), 4096u);
}

TEST_F(BoundedCommand, OneByteOverTheLimitFails) {
    const auto result = run(child({"stdout", std::to_string(mib + 1)}), mib);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::limit_exceeded);
    EXPECT_EQ(result.error().stream, "stdout");
}

TEST_F(BoundedCommand, FloodOfStandardOutputIsStoppedAtTheLimit) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = run(child({"stdout", std::to_string(1024 * mib)}), 16 * mib);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::limit_exceeded);
    EXPECT_EQ(result.error().stream, "stdout");
    // Killed at the limit, not after the gigabyte.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(BoundedCommand, FloodOfStandardErrorIsStoppedAtTheLimit) {
    const auto result = run(child({"stderr", std::to_string(100 * mib)}), 16 * mib, 4096);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::limit_exceeded);
    EXPECT_EQ(result.error().stream, "stderr");
}

TEST_F(BoundedCommand, DrainsBothStreamsAtOnce) {
    const auto result = run(child({"both", "3000000", "3000000"}), 4 * mib, 4 * mib);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->stdout_bytes.size(), 3'000'000u);
    EXPECT_EQ(result->stderr_bytes.size(), 3'000'000u);
}

TEST_F(BoundedCommand, LimitsAsLargeAsTheTypeAllows) {
    const auto result =
        run(child({"both", "200000", "300000"}), SIZE_MAX, SIZE_MAX, std::chrono::milliseconds::max());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->stdout_bytes.size(), 200'000u);
    EXPECT_EQ(result->stderr_bytes.size(), 300'000u);
}

TEST_F(BoundedCommand, NoTimeAtAllIsATimeout) {
    const auto result = run(child({"exit", "0"}), mib, 4096, 0ms);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::timed_out);
}

TEST_F(BoundedCommand, SleeperIsKilledAtTheTimeLimit) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = run(child({"sleep", "30000"}), mib, 4096, 300ms);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::timed_out);
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 3s);
}

TEST_F(BoundedCommand, ACallerThatNoLongerWantsTheResultStopsTheChild) {
    int asked = 0;
    const auto result = run_prepared_with_limits(child({"sleep", "30000"}), std::nullopt, mib, 4096, 20s,
                                                 [&asked] { return ++asked < 3; });
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::cancelled);
    EXPECT_EQ(asked, 3);
}

TEST_F(BoundedCommand, ChildThatClosedItsStreamsIsStillTimed) {
    const auto result = run(child({"quiet-sleep", "30000"}), mib, 4096, 300ms);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::timed_out);
}

TEST_F(BoundedCommand, FailingChildReportsStatusAndDiagnostic) {
    const auto result = run(child({"fail-long"}), mib, 64 * 1024);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->status.code, 1);
    EXPECT_FALSE(result->status.success());
    EXPECT_GT(result->stderr_bytes.size(), 4096u);
}

TEST_F(BoundedCommand, LongDiagnosticPastTheStandardErrorLimitIsALimitFailure) {
    const auto result = run(child({"fail-long"}), mib, 4096);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().stream, "stderr");
}

TEST_F(BoundedCommand, ExitCodeAndSignalAreReported) {
    const auto exited = run(child({"exit", "7"}));
    ASSERT_TRUE(exited.has_value());
    EXPECT_EQ(exited->status.code, 7);
    EXPECT_FALSE(exited->status.signal.has_value());

    const auto signalled = run(child({"signal"}));
    ASSERT_TRUE(signalled.has_value());
    EXPECT_FALSE(signalled->status.code.has_value());
    EXPECT_EQ(signalled->status.signal, SIGTERM);
    EXPECT_FALSE(signalled->status.success());
}

TEST_F(BoundedCommand, MissingProgramIsNotFound) {
    const auto on_path = run(PreparedCommand{"presswick-no-such-program", {}, {}});
    ASSERT_FALSE(on_path.has_value());
    EXPECT_EQ(on_path.error().kind, FailureKind::io);
    EXPECT_TRUE(on_path.error().not_found());

    const auto by_path = run(PreparedCommand{"/nonexistent/presswick-no-such-program", {}, {}});
    ASSERT_FALSE(by_path.has_value());
    EXPECT_TRUE(by_path.error().not_found());
}

TEST_F(BoundedCommand, MemoryLimitBoundsTheChildOnly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-sanitized child reserves more address space than any such limit";
#endif
    auto command = child({"allocate", "512"});
    command.memory_limit = 256 * mib;
    const auto refused = run(command);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->status.code, 3) << "the allocation beyond the limit fails in the child";
    command.args = {"allocate", "32"};
    const auto allowed = run(command);
    ASSERT_TRUE(allowed.has_value());
    EXPECT_EQ(text_of(allowed->stdout_bytes), "ok");
    command.args = {"fds"};
    EXPECT_EQ(text_of(run(command)->stdout_bytes), "0\n1\n2\n") << "the same descriptors as ever";
    command.program = "presswick-no-such-program";
    const auto missing = run(command);
    ASSERT_FALSE(missing.has_value());
    EXPECT_TRUE(missing.error().not_found());
}

TEST_F(BoundedCommand, ProgramThatCannotRunIsAnotherSystemError) {
    const auto result = run(PreparedCommand{"/", {}, {}});
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, FailureKind::io);
    EXPECT_FALSE(result.error().not_found());
}

TEST_F(BoundedCommand, EnvironmentAdditionsReachTheChild) {
    ::setenv("PRESSWICK_TEST_INHERITED", "kept", 1);
    ::setenv("PRESSWICK_TEST_REPLACED", "old", 1);

    auto command = child({"env", "OMP_THREAD_LIMIT"});
    command.environment = {{"OMP_THREAD_LIMIT", "1"}, {"PRESSWICK_TEST_REPLACED", "new"}};
    const auto added = run(command);
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(text_of(added->stdout_bytes), "1");

    command.args = {"env", "PRESSWICK_TEST_REPLACED"};
    const auto replaced = run(command);
    ASSERT_TRUE(replaced.has_value());
    EXPECT_EQ(text_of(replaced->stdout_bytes), "new");

    command.args = {"env", "PRESSWICK_TEST_INHERITED"};
    const auto inherited = run(command);
    ASSERT_TRUE(inherited.has_value());
    EXPECT_EQ(text_of(inherited->stdout_bytes), "kept");
    // Our own environment is left as it was.
    EXPECT_STREQ(std::getenv("PRESSWICK_TEST_REPLACED"), "old");
    EXPECT_EQ(std::getenv("OMP_THREAD_LIMIT"), nullptr);
}

TEST_F(BoundedCommand, ConfinementReachesTheChild) {
    ::setenv("PRESSWICK_TEST_KEPT_A", "a", 1);
    ::setenv("PRESSWICK_TEST_DROPPED", "secret", 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    auto command = child({"status", "NoNewPrivs"});
    EXPECT_EQ(text_of(run(command)->stdout_bytes), "NoNewPrivs:\t0\n") << "unconfined by default";
    command.confinement = {true, true, std::vector<std::string>{"PRESSWICK_TEST_KEPT*"}, 5s};
    command.environment = {{"PRESSWICK_TEST_ADDED", "added"}};
    EXPECT_EQ(text_of(run(command)->stdout_bytes), "NoNewPrivs:\t1\n");
    const auto value = [&](const char* name) {
        command.args = {"env", name};
        return text_of(run(command)->stdout_bytes);
    };
    EXPECT_EQ(value("PRESSWICK_TEST_KEPT_A"), "a");
    EXPECT_EQ(value("PRESSWICK_TEST_ADDED"), "added");
    EXPECT_EQ(value("PRESSWICK_TEST_DROPPED"), "(unset)");
    EXPECT_EQ(value("DBUS_SESSION_BUS_ADDRESS"), "(unset)");
    EXPECT_EQ(value("PATH"), "(unset)");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(BoundedCommand, ProcessorTimeLimitEndsASpinner) {
    auto command = child({"spin"});
    command.confinement.cpu_limit = 1s;
    const auto start = std::chrono::steady_clock::now();
    const auto result = run(command, mib, 4096, 20s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->status.signal, SIGXCPU);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// The runner's process is killed mid-run (a crash, a logout): its child ends with it. We stand in as the
// orphan's reaper to see it end.
TEST_F(BoundedCommand, AChildThatDiesWithUsEndsWhenWeAreKilled) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const auto pid_file =
        std::filesystem::temp_directory_path() / ("bounded-pid." + std::to_string(::getpid()));
    std::filesystem::remove(pid_file);
    const pid_t runner = ::fork();
    ASSERT_GE(runner, 0);
    if (runner == 0) {
        auto command = child({"pid-sleep", pid_file.string(), "30000"});
        command.confinement.dies_with_us = true;
        (void)run(command, mib, 4096, 60s);
        ::_exit(0);
    }
    pid_t helper = 0;
    for (int i = 0; i < 500 && helper == 0; ++i) {
        std::this_thread::sleep_for(10ms);
        std::FILE* file = std::fopen(pid_file.c_str(), "r");
        if (file) {
            if (std::fscanf(file, "%d", &helper) != 1) {
                helper = 0;
            }
            std::fclose(file);
        }
    }
    ASSERT_GT(helper, 0);
    ::kill(runner, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(runner, &status, 0), runner);
    const auto killed = std::chrono::steady_clock::now();
    pid_t reaped = 0;
    while (reaped != helper && std::chrono::steady_clock::now() - killed < 2s) {
        reaped = ::waitpid(helper, &status, WNOHANG);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(reaped, helper) << "the child outlived its runner by 2 s";
    if (reaped != helper) {
        ::kill(helper, SIGKILL);
        (void)::waitpid(helper, &status, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    std::filesystem::remove(pid_file);
}

TEST_F(BoundedCommand, StandardInputIsEmpty) {
    const auto result = run(child({"stdin"}));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(text_of(result->stdout_bytes), "0");
}

TEST_F(BoundedCommand, WorkingDirectoryIsApplied) {
    const auto dir = std::filesystem::canonical(std::filesystem::temp_directory_path());
    const auto result = run_prepared_with_limits(child({"cwd"}), dir, mib, 4096, 10s);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(text_of(result->stdout_bytes), dir.string());
}

TEST_F(BoundedCommand, ChildInheritsOnlyItsThreeStandardDescriptors) {
    const auto result = run(child({"fds"}));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(text_of(result->stdout_bytes), "0\n1\n2\n");
}

TEST_F(BoundedCommand, ConcurrentRunsDoNotShareDescriptors) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (std::size_t t = 0; t < wrong.size(); ++t) {
        threads.emplace_back([&wrong, t] {
            for (int i = 0; i < 20; ++i) {
                const auto result = run(child({"fds"}));
                if (!result || text_of(result->stdout_bytes) != "0\n1\n2\n") {
                    ++wrong[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace

// A helper is found beside the program in a build tree and in ../libexec/presswick once installed; a file
// that cannot run is not a helper.
TEST(Companion, BesideTheProgramElseInItsLibexecDirectory) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("presswick-companion-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin");
    fs::create_directories(root / "libexec" / "presswick");
    const auto place = [](const fs::path& file, fs::perms mode) {
        std::FILE* out = std::fopen(file.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fclose(out);
        fs::permissions(file, mode);
    };
    const fs::path program = root / "bin" / "presswick";
    EXPECT_EQ(bounded_command::companion_program("helper", program), std::nullopt);
    place(root / "libexec" / "presswick" / "helper", fs::perms::owner_all);
    EXPECT_EQ(bounded_command::companion_program("helper", program),
              root / "libexec" / "presswick" / "helper");
    place(root / "bin" / "helper", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(bounded_command::companion_program("helper", program),
              root / "libexec" / "presswick" / "helper");
    fs::permissions(root / "bin" / "helper", fs::perms::owner_all);
    EXPECT_EQ(bounded_command::companion_program("helper", program), root / "bin" / "helper");
    EXPECT_EQ(bounded_command::companion_program("helper", fs::path()), std::nullopt);
    fs::remove_all(root);
}
