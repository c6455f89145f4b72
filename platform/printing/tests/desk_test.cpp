// The real print service at an ordinary desk (scripts/sandbox.sh start-desk, run by desk_test.sh): an
// unprivileged user with a terminal attached, cupsd's stock policy, and polkit granting or not the
// printing administration actions. PRESSWICK_DESK_ROLE says which; PRESSWICK_DESK_JOB names a held
// job of another user.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <ranges>
#include <string>

#include "printing/printing.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

#define REQUIRE_ROLE(role)                                                                    \
    do {                                                                                      \
        if (env("PRESSWICK_DESK_ROLE") != (role)) {                                           \
            GTEST_SKIP() << "run by desk_test.sh as the user whose role is " << (role);       \
        }                                                                                     \
        ASSERT_NE(::getuid(), 0u) << "the desk tests run as an ordinary user";                \
        ASSERT_TRUE(::isatty(STDIN_FILENO)) << "the desk tests run with a terminal attached"; \
    } while (0)

std::optional<printing::PrintQueue> queue(const std::string& name) {
    const auto all = printing::queues();
    if (!all) {
        return std::nullopt;
    }
    const auto it = std::ranges::find(*all, name, &printing::PrintQueue::name);
    return it == all->end() ? std::nullopt : std::optional(*it);
}

std::optional<printing::JobState> job_state(const std::string& id) {
    const auto all = printing::jobs();
    if (!all) {
        return std::nullopt;
    }
    const auto it = std::ranges::find(*all, id, &printing::PrintJob::id);
    return it == all->end() ? std::nullopt : it->state;
}

// Runs an operation and says how long it took.
template <class Fn>
std::chrono::milliseconds timed(Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(DeskPolicy, GrantedUserPausesResumesAndCancelsThroughPolkit) {
    REQUIRE_ROLE("granted");
    const auto other_job = env("PRESSWICK_DESK_JOB");
    ASSERT_EQ(job_state(other_job), printing::JobState::needs_attention)
        << other_job << " should be another user's held job";

    const auto paused = printing::set_enabled("Desk_printer", false);
    ASSERT_TRUE(paused.has_value()) << paused.error();
    auto desk = queue("Desk_printer");
    ASSERT_TRUE(desk.has_value());
    EXPECT_EQ(desk->state, printing::QueueState::paused);
    EXPECT_TRUE(desk->accepting) << "a paused printer keeps taking documents";

    // A document sent while paused is taken and waits, with the size it was sent with (3 pages, twice)
    // as its page total; its owner may cancel it without polkit.
    const auto file = std::string(std::getenv("HOME")) + "/note.txt";
    std::ofstream(file) << "waits while paused\n";
    ASSERT_TRUE(printing::print_document("Desk_printer", file, 2, false, 3).has_value());
    const auto all = printing::jobs();
    ASSERT_TRUE(all.has_value());
    // The newest of the notes (each run sends one).
    const auto newest = *all | std::views::reverse;
    const auto waiting =
        std::ranges::find(newest, std::optional<std::string>("note.txt"), &printing::PrintJob::title);
    ASSERT_NE(waiting, newest.end());
    EXPECT_EQ(waiting->state, printing::JobState::waiting);
    EXPECT_EQ(waiting->pages_total, 6u);
    EXPECT_EQ(waiting->pages_done, 0u);

    const auto resumed = printing::set_enabled("Desk_printer", true);
    ASSERT_TRUE(resumed.has_value()) << resumed.error();
    desk = queue("Desk_printer");
    ASSERT_TRUE(desk.has_value());
    EXPECT_NE(desk->state, printing::QueueState::paused);
    EXPECT_TRUE(desk->accepting);

    const auto canceled = printing::cancel_job(other_job);
    ASSERT_TRUE(canceled.has_value()) << canceled.error();
    EXPECT_EQ(job_state(other_job), printing::JobState::canceled);
}

TEST(DeskPolicy, UngrantedUserFailsWithinTwoSeconds) {
    REQUIRE_ROLE("refused");
    const auto other_job = env("PRESSWICK_DESK_JOB");
    ASSERT_EQ(job_state(other_job), printing::JobState::needs_attention)
        << other_job << " should be another user's held job";

    EXPECT_LT(timed([] { EXPECT_FALSE(printing::set_enabled("Hall_printer", false).has_value()); }), 2s);
    EXPECT_LT(timed([] { EXPECT_FALSE(printing::set_enabled("Hall_printer", true).has_value()); }), 2s);
    EXPECT_LT(timed([&] { EXPECT_FALSE(printing::cancel_job(other_job).has_value()); }), 2s);
    EXPECT_LT(timed([&] { EXPECT_FALSE(printing::retry_job(other_job).has_value()); }), 2s);
    EXPECT_LT(
        timed([] {
            EXPECT_FALSE(
                printing::add_driverless("ipp://127.0.0.1:9/ipp/print", "Nobody's printer").has_value());
        }),
        2s);

    const auto hall = queue("Hall_printer");
    ASSERT_TRUE(hall.has_value());
    EXPECT_NE(hall->state, printing::QueueState::paused);
    EXPECT_EQ(job_state(other_job), printing::JobState::needs_attention);
    EXPECT_FALSE(queue("Nobody_s_printer").has_value());
}

// A print server that is not this machine as far as the program can tell (a name of the office server
// that desk_test.sh makes point at the sandbox): no polkit path; it asks who is there, and only the
// credentials given for it this session answer, once per request.
TEST(DeskPolicy, OfficeServerAsksForCredentialsOncePerRequest) {
    REQUIRE_ROLE("office");
    const auto admin = env("PRESSWICK_DESK_ADMIN");
    const auto password = env("PRESSWICK_DESK_PASSWORD");
    ASSERT_FALSE(password.empty());

    using Kind = printing::ServiceError::Kind;
    printing::OperationResult refused;
    EXPECT_LT(timed([&] { refused = printing::set_enabled("Hall_printer", false); }), 2s);
    ASSERT_FALSE(refused.has_value());
    ASSERT_EQ(refused.error().kind, Kind::credentials_wanted) << refused.error();
    const auto server = refused.error().server;
    EXPECT_EQ(server, "office-server.test");

    // A wrong password is offered once: the request fails (after the server's own delay), never loops,
    // says why, and the password is forgotten: the next request asks again.
    printing::set_server_credentials(server, admin, "not-" + password);
    EXPECT_LT(timed([&] { refused = printing::set_enabled("Hall_printer", false); }), 10s);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().message, "The print server did not accept the user name or password.");
    EXPECT_EQ(refused.error().kind, Kind::credentials_refused);
    EXPECT_NE(queue("Hall_printer")->state, printing::QueueState::paused);
    EXPECT_LT(timed([&] { refused = printing::set_enabled("Hall_printer", false); }), 2s);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().kind, Kind::credentials_wanted) << refused.error();
    EXPECT_EQ(refused.error().server, server);

    printing::set_server_credentials(server, admin, password);
    const auto paused = printing::set_enabled("Hall_printer", false);
    ASSERT_TRUE(paused.has_value()) << paused.error();
    EXPECT_EQ(queue("Hall_printer")->state, printing::QueueState::paused);
    const auto resumed = printing::set_enabled("Hall_printer", true);
    ASSERT_TRUE(resumed.has_value()) << resumed.error();
    EXPECT_NE(queue("Hall_printer")->state, printing::QueueState::paused);

    // Forgotten, the server asks again.
    printing::forget_server_credentials();
    EXPECT_EQ(printing::set_enabled("Hall_printer", false).error().kind, Kind::credentials_wanted);
}

}  // namespace
