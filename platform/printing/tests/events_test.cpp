// Live changes from the private print system of scripts/sandbox.sh: the watch reports what other
// programs do (lp, cupsdisable), the named reads fetch just those records, a subscription the server
// forgot is made again, and a printer whose device refuses connections is told apart.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "printing/printing.h"
#include "sandbox_env.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;
using printing_test::wait_until;

namespace {

// Everything the watch reported, for the test thread to wait on.
struct Reported {
    std::mutex mutex;
    std::condition_variable arrived;
    printing::Changes all;
    int calls = 0;

    printing::ChangesCallback callback() {
        return [this](printing::Changes changes) {
            std::lock_guard lock(mutex);
            all.merge(changes);
            ++calls;
            arrived.notify_all();
        };
    }
    template <class Pred>
    bool wait_for(Pred pred, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, limit, [&] { return pred(all); });
    }
    void clear() {
        std::lock_guard lock(mutex);
        all = {};
    }
};

int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

bool names(const std::vector<std::string>& list, const std::string& name) {
    return std::ranges::find(list, name) != list.end();
}

// The id of the job `lp` made, from its "request id is QUEUE-N (1 file(s))".
std::string submit(const std::string& queue, const std::string& title) {
    const std::string command = "echo live | lp -d " + queue + " -t " + title + " -H indefinite";
    FILE* out = ::popen(command.c_str(), "r");
    char line[256] = {};
    const bool read = out && std::fgets(line, sizeof line, out);
    if (out) {
        ::pclose(out);
    }
    std::string text = read ? line : "";
    const auto start = text.find(queue + "-");
    return start == std::string::npos ? "" : text.substr(start, text.find(' ', start) - start);
}

// Makes the server forget every subscription of this user, as a restarted server without its state would.
void cancel_all_subscriptions() {
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 3000, nullptr);
    ASSERT_NE(http, nullptr);
    ipp_t* request = ippNewRequest(IPP_OP_GET_SUBSCRIPTIONS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* response = cupsDoRequest(http, request, "/");
    std::vector<int> ids;
    for (auto* a = ippFindAttribute(response, "notify-subscription-id", IPP_TAG_INTEGER); a;
         a = ippFindNextAttribute(response, "notify-subscription-id", IPP_TAG_INTEGER)) {
        ids.push_back(ippGetInteger(a, 0));
    }
    ippDelete(response);
    ASSERT_FALSE(ids.empty());
    for (const int id : ids) {
        ipp_t* cancel = ippNewRequest(IPP_OP_CANCEL_SUBSCRIPTION);
        ippAddString(cancel, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
        ippAddString(cancel, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ippAddInteger(cancel, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", id);
        ippDelete(cupsDoRequest(http, cancel, "/"));
    }
    httpClose(http);
}

TEST(LiveChanges, OtherProgramsJobsAndPausesArriveNamedAndAreReadAlone) {
    REQUIRE_SANDBOX();
    Reported reported;
    auto watch = printing::watch(reported.callback());
    ASSERT_NE(watch, nullptr);
    std::this_thread::sleep_for(300ms);  // the subscription is made on the watch's own thread

    const auto id = submit("Office_laser", "live-one");
    ASSERT_FALSE(id.empty());
    EXPECT_TRUE(reported.wait_for([&](const auto& c) { return names(c.jobs, id); }, 2s)) << id;
    const auto read = printing::jobs_named({id, "Office_laser-999999"});
    ASSERT_TRUE(read.has_value()) << read.error();
    ASSERT_EQ(read->size(), 1u);  // the unknown one is gone, not an error
    EXPECT_EQ(read->front().id, id);
    EXPECT_EQ(read->front().title, "live-one");
    EXPECT_EQ(read->front().state, printing::JobState::needs_attention);  // held

    reported.clear();
    ASSERT_EQ(run("cupsdisable Office_laser"), 0);
    EXPECT_TRUE(reported.wait_for([](const auto& c) { return names(c.printers, "Office_laser"); }, 2s));
    const auto paused = printing::queues_named({"Office_laser", "No_such_queue"});
    ASSERT_TRUE(paused.has_value()) << paused.error();
    ASSERT_EQ(paused->size(), 1u);
    EXPECT_EQ(paused->front().state, printing::QueueState::paused);
    ASSERT_EQ(run("cupsenable Office_laser"), 0);
    (void)run("cancel " + id);
}

TEST(LiveChanges, ASubscriptionTheServerForgotIsMadeAgainAndSaysAnythingMayHaveChanged) {
    REQUIRE_SANDBOX();
    Reported reported;
    auto watch = printing::watch(reported.callback());
    ASSERT_NE(watch, nullptr);
    std::this_thread::sleep_for(300ms);
    cancel_all_subscriptions();
    const auto first = submit("Office_laser", "live-forgotten");
    EXPECT_TRUE(reported.wait_for([](const auto& c) { return c.everything; }, 2s));
    // ...and the new subscription reports the next change by name.
    reported.clear();
    const auto second = submit("Office_laser", "live-again");
    EXPECT_TRUE(reported.wait_for([&](const auto& c) { return names(c.jobs, second); }, 2s)) << second;
    (void)run("cancel " + first + " " + second);
}

TEST(LiveChanges, AWatchThatEndedStopsReporting) {
    REQUIRE_SANDBOX();
    Reported reported;
    auto watch = printing::watch(reported.callback());
    std::this_thread::sleep_for(300ms);
    watch.reset();
    std::this_thread::sleep_for(200ms);
    const auto id = submit("Office_laser", "live-unwatched");
    EXPECT_FALSE(reported.wait_for([](const auto& c) { return !c.empty(); }, 1s));
    (void)run("cancel " + id);
}

// A queue whose device refuses connections did not answer this check, however the server reports it.
TEST(LiveChanges, APrinterWhoseDeviceRefusesDidNotAnswer) {
    REQUIRE_SANDBOX();
    ASSERT_EQ(run("lpadmin -p Dead_printer -E -v ipp://127.0.0.1:9/ipp/print"), 0);
    const auto queues = printing::queues();
    ASSERT_TRUE(queues.has_value()) << queues.error();
    const auto dead = std::ranges::find(*queues, "Dead_printer", &printing::PrintQueue::name);
    ASSERT_NE(dead, queues->end());
    EXPECT_FALSE(dead->answered);
    EXPECT_EQ(dead->state, printing::QueueState::unreachable);
    const auto studio = std::ranges::find(*queues, "Studio_printer", &printing::PrintQueue::name);
    ASSERT_NE(studio, queues->end());
    EXPECT_TRUE(studio->answered);
    (void)run("lpadmin -x Dead_printer");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const auto home = printing_test::use_private_home();
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
