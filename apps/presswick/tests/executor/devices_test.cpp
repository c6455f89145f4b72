// Printer and job operations and the views they reach.
#include "harness.h"

namespace presswick::testing {
namespace {

class Devices : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        answers.queues = std::vector{queue("Lab_printer", true), queue("Office-laser")};
        answers.jobs = std::vector{job("Lab_printer-7", printing::JobState::waiting, "Report.pdf")};
    }
    // Runs one operation whose worker posts OperationFinished, and returns that notice.
    std::optional<Notice> outcome_of(Presswick& state, Operation operation) {
        state.notice.reset();
        surface::execute(state, std::move(operation));
        EXPECT_TRUE(pump_until(state, [&] { return state.notice.has_value(); }));
        return state.notice;
    }
};

TEST_F(Devices, TwoQuickPausesStartTwoThreadsAndGiveTwoNotices) {
    auto state = loaded_root();
    surface::execute(*state, SetPrinterEnabled{"Lab_printer", false});
    surface::execute(*state, SetPrinterEnabled{"Lab_printer", false});
    EXPECT_EQ(spawned_count("kora-toggle-printer"), 2);
    ASSERT_TRUE(wait_for_call("set_enabled(Lab_printer,false)"));
    ASSERT_TRUE(pump_until(*state, [&] {
        const auto calls = service_calls();
        return std::count(calls.begin(), calls.end(), "set_enabled(Lab_printer,false)") == 2;
    }));
    // One outcome per update: each notice is seen (and taken away) between two updates.
    int notices = 0;
    ASSERT_TRUE(pump_until(*state, [&] {
        if (state->notice) {
            EXPECT_EQ(state->notice,
                      (Notice{"Printer paused", "Documents will wait until you resume it.", true}));
            ++notices;
            state->notice.reset();
        }
        return notices == 2;
    }));
    state->notice = Notice{"Printer paused", "Documents will wait until you resume it.", true};
    EXPECT_EQ(state->notice, (Notice{"Printer paused", "Documents will wait until you resume it.", true}));
}

TEST_F(Devices, PauseAndResumeNotices) {
    auto state = loaded_root();
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false}),
              (Notice{"Printer paused", "Documents will wait until you resume it.", true}));
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", true}),
              (Notice{"Printer resumed", "Waiting documents can print now.", true}));
    EXPECT_TRUE(wait_for_call("set_enabled(Lab_printer,true)"));
    service->set_operation_result(std::unexpected(std::string("server-error-busy")));
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false}),
              (Notice{"Could not pause printer",
                      "Nothing changed. Check the printer connection and try again.", false}));
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", true}),
              (Notice{"Could not resume printer",
                      "Nothing changed. Check the printer connection and try again.", false}));
}

TEST_F(Devices, AddPrinterNoticesUseTheDisplayName) {
    auto state = loaded_root();
    const printing::DriverlessPrinter found{"ipps://hall.local:631/ipp/print", "Hall__colour-jet", "Hall"};
    EXPECT_EQ(outcome_of(*state, AddPrinter{found}),
              (Notice{"Printer added", "Hall colour jet is ready for your apps.", true}));
    EXPECT_TRUE(wait_for_call("add_driverless(ipps://hall.local:631/ipp/print,Hall__colour-jet)"));
    EXPECT_EQ(spawned_count("kora-add-printer"), 1);
    service->set_operation_result(std::unexpected(std::string("x")));
    EXPECT_EQ(outcome_of(*state, AddPrinter{found}),
              (Notice{"Could not add printer",
                      "Check that Hall colour jet is awake and connected, then try again.", false}));
}

TEST_F(Devices, PreferredPrinterNotices) {
    auto state = loaded_root();
    EXPECT_EQ(outcome_of(*state, SetPreferredPrinter{"Office-laser"}),
              (Notice{"Preferred printer changed",
                      "New documents will use Office laser unless you choose another printer.", true}));
    EXPECT_TRUE(wait_for_call("set_default(Office-laser)"));
    EXPECT_EQ(spawned_count("kora-default-printer"), 1);
    service->set_operation_result(std::unexpected(std::string("x")));
    EXPECT_EQ(outcome_of(*state, SetPreferredPrinter{"Office-laser"}),
              (Notice{"Could not change the preferred printer",
                      "Office laser is still available; try again in a moment.", false}));
}

TEST_F(Devices, CancelClearsTheSelectionFirst) {
    auto state = loaded_root();
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    const auto* before = state->content.get();
    surface::execute(*state, CancelJob{"Lab_printer-7"});
    EXPECT_FALSE(state->selected_job.has_value());
    EXPECT_EQ(state->content.get(), before) << "printer and job operations do not change the content";
    EXPECT_EQ(spawned_count("kora-cancel-print-job"), 1);
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Document canceled", "It was removed from the printer.", true}));
    EXPECT_TRUE(wait_for_call("cancel_job(Lab_printer-7)"));
    service->set_operation_result(std::unexpected(std::string("x")));
    EXPECT_EQ(outcome_of(*state, CancelJob{"Lab_printer-7"}),
              (Notice{"Could not cancel document",
                      "The document may still print. Check the queue and try again.", false}));
}

TEST_F(Devices, ARefusalForLackOfRightsSaysSoUnderTheSameTitles) {
    auto state = loaded_root();
    const std::string why = "You don't have permission to do this. Ask the person who manages this printer.";
    service->set_operation_result(std::unexpected(printing::not_permitted_error("Forbidden")));
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false}),
              (Notice{"Could not pause printer", why, false}));
    EXPECT_EQ(outcome_of(*state, CancelJob{"Lab_printer-7"}),
              (Notice{"Could not cancel document", why, false}));
    // Any other failure keeps its own detail.
    service->set_operation_result(std::unexpected(std::string("Forbidden")));
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false})->detail,
              "Nothing changed. Check the printer connection and try again.");
}

TEST_F(Devices, RetryKeepsTheSelection) {
    auto state = loaded_root();
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    surface::execute(*state, RetryJob{"Lab_printer-7"});
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-7"));
    EXPECT_EQ(spawned_count("kora-retry-print-job"), 1);
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    EXPECT_EQ(state->notice, (Notice{"Document sent again", "It is back in the print queue.", true}));
    EXPECT_TRUE(wait_for_call("retry_job(Lab_printer-7)"));
    service->set_operation_result(std::unexpected(std::string("x")));
    EXPECT_EQ(outcome_of(*state, RetryJob{"Lab_printer-7"}),
              (Notice{"Could not try again", "Check the printer, then try again.", false}));
}

TEST_F(Devices, AServerThatWantsCredentialsIsAnsweredOnceFromTheWindow) {
    service->require_sign_in(printing::ScriptedService::SignIn{"print.example", "ada", "s3cret"});
    auto state = loaded_root();
    const Notice paused{"Printer paused", "Documents will wait until you resume it.", true};
    const Notice not_canceled{"Could not cancel document",
                              "The document may still print. Check the queue and try again.", false};
    auto count = [&](const std::string& call) {
        const auto calls = service_calls();
        return std::count(calls.begin(), calls.end(), call);
    };

    // Asked once, then the same operation runs again with what was given, and succeeds.
    credentials->answer({kora_ui::CredentialsAnswer::Kind::given, "ada", "s3cret", {}});
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false}), paused);
    ASSERT_EQ(credentials->requests().size(), 1u);
    EXPECT_EQ(credentials->requests()[0].title(), "Sign in to print.example");
    EXPECT_EQ(credentials->requests()[0].asking_thread_name(), "presswick-credentials");
    EXPECT_EQ(count("set_enabled(Lab_printer,false)"), 2);
    EXPECT_EQ(spawned_count("kora-toggle-printer"), 2);

    // Kept for the session: the next operation on that server asks nothing.
    EXPECT_EQ(outcome_of(*state, CancelJob{"Lab_printer-7"}),
              (Notice{"Document canceled", "It was removed from the printer.", true}));
    EXPECT_EQ(credentials->requests().size(), 1u);

    // Cancelled: the operation's usual failure, and it is not run again.
    printing::forget_server_credentials();
    service->clear_calls();
    EXPECT_EQ(outcome_of(*state, CancelJob{"Lab_printer-7"}), not_canceled);
    EXPECT_EQ(credentials->requests().size(), 2u);
    EXPECT_EQ(count("cancel_job(Lab_printer-7)"), 1);

    // A refused password: one retry, then a failure that says so; no second question, no loop.
    const Notice refused{"Could not cancel document",
                         "The print server did not accept the user name or password.", false};
    credentials->answer({kora_ui::CredentialsAnswer::Kind::given, "ada", "wrong", {}});
    EXPECT_EQ(outcome_of(*state, CancelJob{"Lab_printer-7"}), refused);
    settle(*state);
    EXPECT_EQ(credentials->requests().size(), 3u);
    EXPECT_EQ(count("cancel_job(Lab_printer-7)"), 3);
    EXPECT_EQ(state->notice, refused);
    EXPECT_FALSE(state->credentials_ask.has_value());

    // The refused credentials are forgotten: the next request asks again, and the right ones work.
    credentials->answer({kora_ui::CredentialsAnswer::Kind::given, "ada", "s3cret", {}});
    EXPECT_EQ(outcome_of(*state, SetPrinterEnabled{"Lab_printer", false}), paused);
    EXPECT_EQ(credentials->requests().size(), 4u);
}

TEST_F(Devices, WorkerThatCannotStartHasNoEffect) {
    auto state = loaded_root();
    for (const char* name : {"kora-toggle-printer", "kora-default-printer", "kora-cancel-print-job",
                             "kora-retry-print-job", "kora-add-printer"}) {
        refuse(name);
    }
    surface::execute(*state, SetPrinterEnabled{"Lab_printer", false});
    surface::execute(*state, SetPreferredPrinter{"Lab_printer"});
    surface::execute(*state, CancelJob{"Lab_printer-7"});
    surface::execute(*state, RetryJob{"Lab_printer-7"});
    surface::execute(*state, AddPrinter{{"ipps://a/ipp/print", "A", std::nullopt}});
    settle(*state);
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_TRUE(service_calls().empty());
}

TEST_F(Devices, OutcomeStoresTheNoticeKeepsTheViewAndRefreshesToTheDashboard) {
    auto state = loaded_root();
    surface::execute(*state, ShowDevice{"Lab_printer"});
    const auto* device_view = state->content.get();
    const int refreshes = spawned_count("kora-presswick-refresh");
    surface::execute(*state, OperationFinished{
                                 Notice{"Printer paused", "Documents will wait until you resume it.", true}});
    EXPECT_EQ(state->content.get(), device_view);
    EXPECT_EQ(spawned_count("kora-presswick-refresh"), refreshes + 1);
    ASSERT_TRUE(state->refresh_rx.has_value());
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_EQ(state->notice, (Notice{"Printer paused", "Documents will wait until you resume it.", true}));
}

TEST_F(Devices, ViewsNeedASnapshot) {
    auto state = bare_root();
    const auto* before = state->content.get();
    surface::execute(*state, ShowQueue{});
    surface::execute(*state, ShowHistory{});
    surface::execute(*state, ShowDiagnostics{});
    surface::execute(*state, ShowDevice{"Lab_printer"});
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    EXPECT_EQ(state->content.get(), before);
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-7")) << "the selection is kept";
}

TEST_F(Devices, QueueIsShownEvenWhenThePrinterListFailed) {
    answers.queues = std::unexpected(std::string("down"));
    auto state = loaded_root();
    surface::execute(*state, ShowQueue{});
    EXPECT_TRUE(shows(*state, kQueue));
    surface::execute(*state, ShowHistory{});
    EXPECT_TRUE(shows(*state, kHistory));
    surface::execute(*state, ShowDiagnostics{});
    EXPECT_TRUE(shows(*state, kDiagnostics));
}

TEST_F(Devices, ShowDeviceMatchesTheQueueNameExactly) {
    auto state = loaded_root();
    surface::execute(*state, ShowQueue{});
    const auto* queue_view = state->content.get();
    surface::execute(*state, ShowDevice{"lab_printer"});
    surface::execute(*state, ShowDevice{"Lab printer"});
    EXPECT_EQ(state->content.get(), queue_view) << "no match leaves the current view";
    surface::execute(*state, ShowDevice{"Office-laser"});
    EXPECT_TRUE(shows(*state, kDevice));
}

TEST_F(Devices, ShowDeviceWithAFailedPrinterListDoesNothing) {
    answers.queues = std::unexpected(std::string("down"));
    auto state = loaded_root();
    const auto* before = state->content.get();
    surface::execute(*state, ShowDevice{"Lab_printer"});
    EXPECT_EQ(state->content.get(), before);
}

TEST_F(Devices, SelectJobShowsTheQueue) {
    auto state = loaded_root();
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-7"));
    EXPECT_TRUE(shows(*state, kQueue));
}

TEST_F(Devices, FindPrintersSearchesThenShowsTheResult) {
    answers.discovered =
        std::vector{printing::DriverlessPrinter{"ipps://a.local/ipp/print", "Hall jet", "Hall"}};
    auto state = loaded_root();
    surface::execute(*state, FindPrinters{});
    EXPECT_TRUE(shows(*state, kDiscovery));
    const auto* searching = state->content.get();
    surface::execute(*state, FindPrinters{});
    EXPECT_EQ(spawned_count("kora-printer-discovery"), 2) << "nothing guards a second search";
    ASSERT_TRUE(wait_for_call("discover_driverless()"));
    ASSERT_TRUE(pump_one(*state));
    EXPECT_NE(state->content.get(), searching);
    EXPECT_TRUE(shows(*state, kDiscovery));
}

TEST_F(Devices, DiscoveryFailureIsShownInTheDiscoveryView) {
    auto state = loaded_root();
    surface::execute(*state, PrintersFound{std::unexpected(std::string("avahi is not running"))});
    EXPECT_TRUE(shows(*state, kDiscovery));
}

}  // namespace
}  // namespace presswick::testing
