// Live changes from the print server: quiet updates that read only what changed, one at a time, and
// keep the page, the notice and the selection.
#include <atomic>
#include <mutex>

#include "desktop_notices.h"
#include "harness.h"
#include "kora_ui/notifications.h"

namespace presswick::testing {
namespace {

using LiveUpdates = ExecutorTest;

printing::Changes jobs_changed(std::vector<std::string> ids) {
    return {false, {}, std::move(ids)};
}

TEST_F(LiveUpdates, AReportedJobIsReadAloneAndShownOnTheSamePageWithItsNoticeAndSelection) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.jobs = std::vector{job("Lab_printer-3", printing::JobState::waiting, "report.pdf"),
                               job("Lab_printer-5", printing::JobState::in_progress, "slides.pdf")};
    auto state = loaded_root();
    ASSERT_NE(state->watch, nullptr);
    surface::execute(*state, SelectJob{"Lab_printer-5"});
    state->notice = Notice{"Document sent", "It will print soon.", true};
    surface::recompose(*state);
    ASSERT_TRUE(shows(*state, kQueue));

    // Another program's document arrives and one of ours finishes.
    answers.jobs = std::vector{job("Lab_printer-3", printing::JobState::printed, "report.pdf"),
                               job("Lab_printer-5", printing::JobState::in_progress, "slides.pdf"),
                               job("Lab_printer-9", printing::JobState::waiting, "from-lp.txt")};
    service->script(answers);
    ASSERT_TRUE(service->report(jobs_changed({"Lab_printer-9", "Lab_printer-3"})));
    ASSERT_TRUE(pump_until(*state, [&] { return shows(*state, "from-lp.txt"); }));
    settle(*state);
    EXPECT_EQ(service_calls(), std::vector<std::string>{"jobs_named(Lab_printer-9,Lab_printer-3)"});
    EXPECT_EQ(spawned_count("kora-presswick-refresh"), 1);  // only the first one
    EXPECT_TRUE(shows(*state, kQueue));
    EXPECT_TRUE(shows(*state, "Document sent"));
    EXPECT_TRUE(shows(*state, "Confirm cancel"));
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-5"));
    ASSERT_TRUE(state->snapshot->jobs.has_value());
    const auto& jobs = *state->snapshot->jobs;
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].state, printing::JobState::printed);
    EXPECT_EQ(jobs[2].id, "Lab_printer-9");  // in the service's order, by number
}

TEST_F(LiveUpdates, ABurstGivesOneUpdateNowAndOneAfter) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.jobs = std::vector{job("Lab_printer-1", printing::JobState::waiting)};
    auto state = loaded_root();
    // Many reports before the window looks: one update.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(service->report(jobs_changed({"Lab_printer-1"})));
    }
    ASSERT_TRUE(pump_until(*state, [&] { return state->update_rx.has_value(); }));
    // More before its result is taken: they wait, joined, for one more.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(service->report({false, {"Lab_printer"}, {}}));
    }
    ASSERT_TRUE(state->update_rx.has_value());
    settle(*state, std::chrono::milliseconds(300));
    EXPECT_EQ(spawned_count("kora-presswick-update"), 2);
    EXPECT_FALSE(state->update_rx.has_value());
    EXPECT_FALSE(state->changes_waiting.has_value());
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(LiveUpdates, ChangesDuringAFullRefreshWaitForItAndAFullReadCoversEverything) {
    answers.queues = std::vector{queue("Lab_printer")};
    auto state = loaded_root();
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(state->refresh_rx.has_value());
    ASSERT_TRUE(service->report({false, {"Lab_printer"}, {}}));
    kora_ui::UpdateContext context;
    while (state->refresh_rx) {
        (void)state->update(context);
    }
    settle(*state);
    EXPECT_EQ(spawned_count("kora-presswick-update"), 1);  // after the refresh, not beside it
    // "Anything may have changed" reads the lists whole, keeping the scanners.
    answers.scanners = std::vector{scanner("test:0", "Flatbed")};
    service->script(answers);
    service->clear_calls();
    ASSERT_TRUE(service->report({true, {}, {}}));
    ASSERT_TRUE(pump_until(*state, [&] { return spawned_count("kora-presswick-update") == 2; }));
    settle(*state);
    EXPECT_EQ(service_calls(), (std::vector<std::string>{"queues()", "jobs()"}));
}

TEST_F(LiveUpdates, GonePrintersAndJobsLeaveAndNewPrintersJoinByName) {
    answers.queues = std::vector{queue("Beta"), queue("Delta")};
    answers.jobs =
        std::vector{job("Beta-4", printing::JobState::waiting), job("Delta-6", printing::JobState::waiting)};
    auto state = loaded_root();
    answers.queues = std::vector{queue("alpha"), queue("Delta")};
    answers.jobs = std::vector{job("Delta-6", printing::JobState::waiting)};
    service->script(answers);
    ASSERT_TRUE(service->report({false, {"Beta", "alpha"}, {"Beta-4"}}));
    ASSERT_TRUE(pump_until(*state, [&] { return !shows(*state, "Beta"); }));
    settle(*state);
    ASSERT_TRUE(state->snapshot->printers.has_value());
    ASSERT_EQ(state->snapshot->printers->size(), 2u);
    EXPECT_EQ((*state->snapshot->printers)[0].name, "alpha");
    EXPECT_EQ((*state->snapshot->printers)[1].name, "Delta");
    ASSERT_EQ(state->snapshot->jobs->size(), 1u);
    EXPECT_EQ(state->snapshot->jobs->front().id, "Delta-6");
}

TEST_F(LiveUpdates, AServerThatCannotBeWatchedLeavesTheWindowAsWithoutLiveUpdates) {
    service->refuse_watching(true);
    auto state = loaded_root();
    EXPECT_EQ(state->watch, nullptr);
    EXPECT_FALSE(state->changes_rx.has_value());
    EXPECT_FALSE(service->report(jobs_changed({"Lab_printer-1"})));
    settle(*state);
    EXPECT_EQ(spawned_count("kora-presswick-update"), 0);
    EXPECT_EQ(spawned_count("kora-presswick-refresh"), 1);
    EXPECT_TRUE(service_calls().empty());  // nothing reads the service by itself
}

TEST_F(LiveUpdates, AnUpdateKeepsTheScanPageAndItsPages) {
    answers.queues = std::vector{queue("Lab_printer", true), queue("Office_laser")};
    answers.scanners = std::vector{scanner("test:0", "Flatbed")};
    auto state = loaded_root();
    state->pages.push_back(page(1));
    state->current_index = 0;
    state->current_page = state->pages[0];
    ASSERT_TRUE(surface::show(*state, surface::shown::Scan{}));
    const auto pages_before = state->pages.size();
    auto paused = queue("Office_laser");
    paused.state = printing::QueueState::paused;
    answers.queues = std::vector{queue("Lab_printer", true), paused};
    service->script(answers);
    ASSERT_TRUE(service->report({false, {"Office_laser"}, {}}));
    ASSERT_TRUE(pump_until(*state, [&] { return spawned_count("kora-presswick-update") == 1; }));
    settle(*state);
    EXPECT_TRUE(shows(*state, kScanResult));
    EXPECT_EQ(state->pages.size(), pages_before);
    EXPECT_EQ((*state->snapshot->printers)[1].state, printing::QueueState::paused);
}

}  // namespace
}  // namespace presswick::testing

namespace presswick::testing {
namespace {

namespace notifications = kora_ui::notifications;

// Records what would be shown, with a window that is active or not.
class RecordingNotifications final : public notifications::Backend {
  public:
    bool window_active() const override { return active; }
    void show(const notifications::Notification& n) override {
        std::lock_guard lock(mutex);
        shown.push_back(n);
    }
    std::vector<notifications::Notification> take() {
        std::lock_guard lock(mutex);
        return std::exchange(shown, {});
    }
    std::atomic<bool> active{false};
    std::mutex mutex;
    std::vector<notifications::Notification> shown;
};

class DesktopNotices : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        previous = notifications::set_backend(desk);
    }
    void TearDown() override {
        (void)notifications::set_backend(previous);
        ExecutorTest::TearDown();
    }
    // Scripts the answers, reports the change and waits for the update to be applied.
    void update(Presswick& state, printing::Changes changes) {
        service->script(answers);
        const int before = spawned_count("kora-presswick-update");
        ASSERT_TRUE(service->report(changes));
        ASSERT_TRUE(pump_until(state, [&] { return spawned_count("kora-presswick-update") > before; }));
        settle(state);
    }
    printing::PrintJob own(std::string id, printing::JobState state, std::string title) {
        auto j = job(std::move(id), state, std::move(title));
        j.owner = this_user();
        return j;
    }
    std::shared_ptr<RecordingNotifications> desk = std::make_shared<RecordingNotifications>();
    std::shared_ptr<notifications::Backend> previous;
};

TEST_F(DesktopNotices, TheUsersOwnDocumentsOutcomesAreToldOnlyWhileTheWindowIsNotActive) {
    answers.queues = std::vector{queue("Lab_printer")};
    auto others = job("Lab_printer-4", printing::JobState::in_progress, "theirs.pdf");
    others.owner = "someone-else";
    answers.jobs = std::vector{own("Lab_printer-2", printing::JobState::in_progress, "report.pdf"),
                               own("Lab_printer-3", printing::JobState::waiting, "slides.pdf"), others};
    auto state = loaded_root();
    auto failed = own("Lab_printer-3", printing::JobState::not_printed, "slides.pdf");
    failed.message = "Paper jam in tray 2";
    others.state = printing::JobState::printed;
    answers.jobs =
        std::vector{own("Lab_printer-2", printing::JobState::printed, "report.pdf"), failed, others};
    update(*state, {false, {}, {"Lab_printer-2", "Lab_printer-3", "Lab_printer-4"}});
    const auto shown = desk->take();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], (notifications::Notification{"Printed: report.pdf", "", "queue"}));
    EXPECT_EQ(shown[1],
              (notifications::Notification{"Could not print slides.pdf", "Paper jam in tray 2", "queue"}));
    // Sent again and printed while the window is active: the window shows it, nothing else does.
    answers.jobs = std::vector{own("Lab_printer-3", printing::JobState::waiting, "slides.pdf")};
    update(*state, {false, {}, {"Lab_printer-3"}});
    desk->active = true;
    answers.jobs = std::vector{own("Lab_printer-3", printing::JobState::printed, "slides.pdf")};
    update(*state, {false, {}, {"Lab_printer-3"}});
    EXPECT_TRUE(desk->take().empty());
}

TEST_F(DesktopNotices, PrintersThatNeedAttentionAndSuppliesCrossingLowAreToldOnce) {
    auto lab = queue("Lab_printer");
    lab.supplies = std::vector<printing::Supply>{{"Black Ink", {}, 40, 10}, {"Cyan Ink", {}, 30, 10}};
    answers.queues = std::vector{lab};
    auto state = loaded_root();
    // Both inks cross at once, and the paper runs out: one notice for the supplies, one for the paper.
    (*lab.supplies)[0].level = 9;
    (*lab.supplies)[1].level = 10;
    lab.state_reasons = {"media-empty-error"};
    answers.queues = std::vector{lab};
    update(*state, {false, {"Lab_printer"}, {}});
    auto shown = desk->take();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], (notifications::Notification{"Lab printer needs attention", "Add paper to continue.",
                                                     "device:Lab_printer"}));
    EXPECT_EQ(shown[1].title, "Lab printer is low on Black Ink and Cyan Ink");
    EXPECT_EQ(shown[1].target, "device:Lab_printer");
    // Still low, still out of paper: nothing new.
    (*lab.supplies)[0].level = 8;
    answers.queues = std::vector{lab};
    update(*state, {false, {"Lab_printer"}, {}});
    EXPECT_TRUE(desk->take().empty());
    // Refilled, then low again: a new crossing.
    (*lab.supplies)[0].level = 90;
    answers.queues = std::vector{lab};
    update(*state, {false, {"Lab_printer"}, {}});
    (*lab.supplies)[0].level = 5;
    answers.queues = std::vector{lab};
    update(*state, {false, {"Lab_printer"}, {}});
    shown = desk->take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Lab printer is low on Black Ink and Cyan Ink");
}

TEST_F(DesktopNotices, ConnectingToTheDeviceMattersOnlyAfterAMinute) {
    auto before = DeviceSnapshot{std::vector{queue("Lab_printer")}, std::vector<printing::PrintJob>{},
                                 std::vector<printing::Scanner>{}};
    auto after = before;
    (*after.printers)[0].state_reasons = {"connecting-to-device"};
    NoticeMemory memory;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(desktop_notices(before, after, memory, start).empty());
    EXPECT_TRUE(desktop_notices(after, after, memory, start + std::chrono::seconds(59)).empty());
    const auto late = desktop_notices(after, after, memory, start + std::chrono::seconds(61));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].title, "Lab printer needs attention");
    EXPECT_TRUE(desktop_notices(after, after, memory, start + std::chrono::seconds(90)).empty());
    // Once it connected, a new spell counts from its own start.
    EXPECT_TRUE(desktop_notices(after, before, memory, start + std::chrono::seconds(91)).empty());
    EXPECT_TRUE(desktop_notices(before, after, memory, start + std::chrono::seconds(92)).empty());
}

TEST_F(DesktopNotices, ChoosingANotificationShowsItsPage) {
    answers.queues = std::vector{queue("Lab_printer")};
    auto state = loaded_root();
    notifications::chosen("device:Lab_printer");
    ASSERT_TRUE(pump_until(*state, [&] { return shows(*state, kDevice); }));
    EXPECT_TRUE(std::holds_alternative<surface::shown::Device>(state->shown_view));
    notifications::chosen("queue");
    ASSERT_TRUE(pump_until(*state, [&] { return shows(*state, kQueue); }));
}

}  // namespace
}  // namespace presswick::testing
