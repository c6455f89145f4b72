// Live changes from the print server: quiet updates that read only what changed, one at a time, and
// keep the page, the notice and the selection.
#include "harness.h"

namespace presswick::testing {
namespace {

using LiveUpdates = ExecutorTest;

printing::Changes jobs_changed(std::vector<std::string> ids) {
    return {false, {}, std::move(ids)};
}

TEST_F(LiveUpdates, AReportedJobIsReadAloneAndShownOnTheSamePageWithItsNoticeAndSelection) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.jobs = std::vector{job("Lab_printer-3", 1, "report.pdf"), job("Lab_printer-5", 2, "slides.pdf")};
    auto state = loaded_root();
    ASSERT_NE(state->watch, nullptr);
    surface::execute(*state, SelectJob{"Lab_printer-5"});
    state->notice = Notice{"Document sent", "It will print soon.", true};
    surface::recompose(*state);
    ASSERT_TRUE(shows(*state, kQueue));

    // Another program's document arrives and one of ours finishes.
    answers.jobs = std::vector{job("Lab_printer-3", 6, "report.pdf"), job("Lab_printer-5", 2, "slides.pdf"),
                               job("Lab_printer-9", 1, "from-lp.txt")};
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
    EXPECT_EQ(jobs[0].state, 6);
    EXPECT_EQ(jobs[2].id, "Lab_printer-9");  // in the service's order, by number
}

TEST_F(LiveUpdates, ABurstGivesOneUpdateNowAndOneAfter) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.jobs = std::vector{job("Lab_printer-1", 1)};
    auto state = loaded_root();
    // Many reports before the window looks: one update.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(service->report(jobs_changed({"Lab_printer-1"})));
    }
    ASSERT_TRUE(pump_until(*state, [&] { return state->update_rx.has_value(); }));
    // More while it runs: they wait, joined, for one more.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(service->report({false, {"Lab_printer"}, {}}));
        kora_ui::UpdateContext context;
        (void)state->update(context);
    }
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
    answers.jobs = std::vector{job("Beta-4", 1), job("Delta-6", 1)};
    auto state = loaded_root();
    answers.queues = std::vector{queue("alpha"), queue("Delta")};
    answers.jobs = std::vector{job("Delta-6", 1)};
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
