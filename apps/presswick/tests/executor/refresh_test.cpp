// The root state, the refresh and the collection order of update.
#include <thread>

#include "harness.h"
#include "kora_ui/widgets.h"

namespace presswick::testing {
namespace {

// A service whose first queues() call waits until released and answers "First"; later ones "Second".
class GatedService final : public printing::Service {
  public:
    explicit GatedService(std::shared_ptr<printing::ScriptedService> inner) : m_inner(std::move(inner)) {}
    printing::Result<std::vector<printing::PrintQueue>> queues() override {
        std::unique_lock lock(m_mutex);
        if (m_first) {
            m_first = false;
            m_entered = true;
            m_cv.notify_all();
            m_cv.wait_for(lock, std::chrono::seconds(10), [this] { return m_released; });
            return std::vector{queue("First")};
        }
        return std::vector{queue("Second")};
    }
    // Waits until the first queues() call is being held.
    bool wait_entered() {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [this] { return m_entered; });
    }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_cv.notify_all();
    }
    printing::Result<std::vector<printing::PrintJob>> jobs() override { return m_inner->jobs(); }
    printing::Result<std::vector<printing::Scanner>> scanners() override { return m_inner->scanners(); }
    printing::Result<std::vector<printing::DriverlessPrinter>> discover_driverless() override {
        return m_inner->discover_driverless();
    }
    printing::OperationResult add_driverless(const std::string& u, const std::string& n) override {
        return m_inner->add_driverless(u, n);
    }
    printing::OperationResult set_default(const std::string& q) override { return m_inner->set_default(q); }
    printing::OperationResult set_enabled(const std::string& q, bool e) override {
        return m_inner->set_enabled(q, e);
    }
    printing::OperationResult cancel_job(const std::string& j) override { return m_inner->cancel_job(j); }
    printing::OperationResult retry_job(const std::string& j) override { return m_inner->retry_job(j); }
    printing::Result<printing::PrinterOptions> printer_options(const std::string& q) override {
        return m_inner->printer_options(q);
    }
    printing::OperationResult print_document(const std::string& q, const std::filesystem::path& d,
                                             const printing::JobOptions& o,
                                             std::optional<std::uint32_t> p) override {
        return m_inner->print_document(q, d, o, p);
    }
    printing::Result<printing::Bytes> scan_page(const std::string& s,
                                                const printing::ScanSettings& o) override {
        return m_inner->scan_page(s, o);
    }

  private:
    std::shared_ptr<printing::ScriptedService> m_inner;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_first = true;
    bool m_released = false;
    bool m_entered = false;
};

using Refreshing = ExecutorTest;

TEST_F(Refreshing, FreshRootShowsLoadingAndWaitsForTheFirstRefresh) {
    auto state = Presswick::new_default_root();
    EXPECT_TRUE(state->needs_idle_sync());
    EXPECT_TRUE(state->refresh_rx.has_value());
    EXPECT_TRUE(shows(*state, kLoading));
    EXPECT_EQ(spawned_count("kora-presswick-refresh"), 1);
    EXPECT_EQ(state->type_name(), "presswick::surface::Presswick");
    EXPECT_EQ(state->copies.get(), 1.0);
    EXPECT_FALSE(state->two_sided.get());
    EXPECT_EQ(state->scan_resolution.get(), 1U);
    EXPECT_EQ(state->scan_colour.get(), 0U);
    EXPECT_EQ(state->scan_source.get(), 0U);
    EXPECT_EQ(state->scan_language.get(), 0U);
    EXPECT_EQ(state->crop_selection.get(), kora_ui::CropSelection::whole());
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::unavailable);
    EXPECT_FALSE(state->snapshot.has_value());
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_EQ(state->current_index, 0U);
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->save_as_document);
    ASSERT_EQ(state->children().size(), 1U);
    EXPECT_EQ(state->children()[0].get(), state->content.get());
}

TEST_F(Refreshing, RefreshThatCannotStartLeavesNoPendingRefresh) {
    refuse("kora-presswick-refresh");
    auto state = Presswick::new_default_root();
    EXPECT_FALSE(state->refresh_rx.has_value());
    EXPECT_FALSE(state->needs_idle_sync());
    EXPECT_TRUE(shows(*state, kLoading));
}

TEST_F(Refreshing, TheWorkerReadsQueuesJobsScannersInOrder) {
    auto state = loaded_root();
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_EQ(service_calls(), (std::vector<std::string>{"queues()", "jobs()", "scanners()"}));
}

TEST_F(Refreshing, AllThreeFailingReplacesAGoodSnapshotWhole) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.scanners = std::vector{scanner("s", "S")};
    auto state = loaded_root();
    printing::ScriptedService::Answers broken;
    broken.queues = std::unexpected(std::string("q down"));
    broken.jobs = std::unexpected(std::string("j down"));
    broken.scanners = std::unexpected(std::string("s down"));
    service->script(broken);
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    ASSERT_TRUE(state->snapshot.has_value());
    EXPECT_EQ(state->snapshot->printers,
              (Section<printing::PrintQueue>(std::unexpected(std::string("q down")))));
    EXPECT_EQ(state->snapshot->jobs, (Section<printing::PrintJob>(std::unexpected(std::string("j down")))));
    EXPECT_EQ(state->snapshot->scanners,
              (Section<printing::Scanner>(std::unexpected(std::string("s down")))));
    EXPECT_TRUE(is_dashboard(*state));
}

TEST_F(Refreshing, PartialFailureKeepsTheOtherParts) {
    answers.jobs = std::unexpected(std::string("j down"));
    answers.scanners = std::vector{scanner("s", "S")};
    auto state = loaded_root();
    EXPECT_TRUE(state->snapshot->printers.has_value());
    EXPECT_FALSE(state->snapshot->jobs.has_value());
    EXPECT_EQ(state->snapshot->scanners->size(), 1U);
}

TEST_F(Refreshing, RefreshClearsTheNoticeAndShowsLoading) {
    auto state = loaded_root();
    state->notice = Notice{"x", "y", true};
    surface::execute(*state, Refresh{});
    EXPECT_FALSE(state->notice.has_value());
    EXPECT_TRUE(shows(*state, kLoading));
    EXPECT_TRUE(state->needs_idle_sync());
}

TEST_F(Refreshing, RefreshThatCannotStartKeepsTheSnapshotAndTheLoadingView) {
    answers.queues = std::vector{queue("Lab_printer")};
    auto state = loaded_root();
    const auto before = *state->snapshot;
    refuse("kora-presswick-refresh");
    surface::execute(*state, Refresh{});
    settle(*state);
    EXPECT_FALSE(state->refresh_rx.has_value());
    EXPECT_EQ(state->snapshot, before);
    EXPECT_TRUE(shows(*state, kLoading));
}

TEST_F(Refreshing, OnlyTheSecondOfTwoRefreshesIsApplied) {
    auto gated = std::make_shared<GatedService>(service);
    (void)printing::install_service(gated);
    auto state = bare_root();
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(gated->wait_entered()) << "the first worker holds the first answer";
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->snapshot.has_value(); }));
    EXPECT_EQ(state->snapshot->printers->front().name, "Second");
    gated->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    settle(*state);
    EXPECT_EQ(state->snapshot->printers->front().name, "Second");
}

TEST_F(Refreshing, ASnapshotReturnsTheWindowToTheDashboardAndKeepsTheSelection) {
    answers.jobs = std::vector{job("Lab_printer-7", printing::JobState::waiting)};
    auto state = loaded_root();
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    EXPECT_TRUE(shows(*state, kQueue));
    state->notice = Notice{"Printer paused", "Documents will wait until you resume it.", true};
    surface::execute(*state, OperationFinished{*state->notice});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-7"));
}

TEST_F(Refreshing, UpdateTakesTheSnapshotBeforeAnOperation) {
    auto state = Presswick::new_default_root();
    ASSERT_TRUE(wait_for_call("scanners()"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    (void)state->operations_tx.send(ShowHistory{});
    kora_ui::UpdateContext context;
    ASSERT_TRUE(state->update(context));
    EXPECT_TRUE(state->snapshot.has_value());
    EXPECT_TRUE(is_dashboard(*state)) << "the snapshot came first";
    ASSERT_TRUE(state->update(context));
    EXPECT_TRUE(shows(*state, kHistory)) << "then the operation";
}

TEST_F(Refreshing, UpdateTakesThePickerBeforeTheRefresh) {
    auto state = loaded_root();
    picker->answer({kora_ui::PickOutcome::Kind::failed, {}, "x"});
    picker->hold();
    surface::execute(*state, ChooseDocument{});
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(wait_for_call("scanners()"));
    picker->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kora_ui::UpdateContext context;
    ASSERT_TRUE(state->update(context));
    EXPECT_FALSE(state->document_pick.has_value());
    EXPECT_TRUE(state->refresh_rx.has_value()) << "the refresh waits for the next update";
}

TEST_F(Refreshing, AStillEmptyRefreshStaysPending) {
    auto gated = std::make_shared<GatedService>(service);
    (void)printing::install_service(gated);
    auto state = bare_root();
    surface::execute(*state, Refresh{});
    kora_ui::UpdateContext context;
    EXPECT_FALSE(state->update(context));
    EXPECT_TRUE(state->refresh_rx.has_value());
    gated->release();
    ASSERT_TRUE(pump_until(*state, [&] { return state->snapshot.has_value(); }));
}

TEST_F(Refreshing, UpdateWithNothingPendingIsHandedToTheContent) {
    auto state = bare_root();
    kora_ui::UpdateContext context;
    EXPECT_FALSE(state->update(context));
    EXPECT_FALSE(state->needs_idle_sync());
}

TEST_F(Refreshing, ControlInvocationsComeFromTheContent) {
    auto state = bare_root();
    state->install(kora_ui::boxed(kora_ui::Column().push(
        kora_ui::Button("presswick.add.first", "Find printers").on_action(kora_ui::InvokeControlId{}))));
    EXPECT_FALSE(state->take_control_invocation().has_value());
    ASSERT_TRUE(kora_ui::testing::press(*state, "presswick.add.first"));
    const auto taken = state->take_control_invocation();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->control_id, "presswick.add.first");
    EXPECT_FALSE(state->take_control_invocation().has_value());
}

TEST_F(Refreshing, ResultsArrivingAfterTheWindowIsGoneAreDropped) {
    auto gated = std::make_shared<GatedService>(service);
    (void)printing::install_service(gated);
    {
        auto state = bare_root();
        surface::execute(*state, Refresh{});
    }
    gated->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SUCCEED() << "the worker's send to a closed channel did not crash";
}

TEST_F(ExecutorTest, ScannersOfOneNameAreToldApartByTheirDevice) {
    answers.scanners = std::vector{scanner("test:0", "Noname frontend-tester"),
                                   scanner("test:1", "Noname frontend-tester"), scanner("net:a", "Office")};
    service->script(answers);
    auto state = loaded_root();
    ASSERT_TRUE(state->snapshot && state->snapshot->scanners);
    EXPECT_EQ(state->snapshot->scanners->at(0).name, "Noname frontend-tester (test:0)");
    EXPECT_EQ(state->snapshot->scanners->at(1).name, "Noname frontend-tester (test:1)");
    EXPECT_EQ(state->snapshot->scanners->at(2).name, "Office");
    EXPECT_TRUE(shows(*state, "Noname frontend-tester (test:0) is ready"));
    surface::execute(*state, OpenScan{});
    EXPECT_TRUE(shows(*state, "Selected: Noname frontend-tester (test:0)"));
    EXPECT_TRUE(shows(*state, "Noname frontend-tester (test:1)"));
    surface::execute(*state, ShowDiagnostics{});
    EXPECT_TRUE(shows(*state, "Noname frontend-tester (test:1)"));
    EXPECT_TRUE(shows(*state, "Office"));
}

// Whether any visible text holds `part`.
bool mentions(const Presswick& state, std::string_view part) {
    for (const auto& text : kora_ui::testing::collect_texts(state)) {
        if (text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(Refreshing, ARefreshFromAnotherProgramKeepsThePrintDialogWithItsDocumentAndChoices) {
    answers.queues = std::vector{queue("Office_laser"), queue("Studio_printer", true)};
    auto state = loaded_root();
    refuse("kora-print-preview");
    picker->answer_path("/tmp/report.pdf");
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->document_pick.has_value(); }));
    surface::execute(*state, ChoosePrintPrinter{"Office_laser"});
    (void)state->copies.write_from_control(3.0);
    (void)state->two_sided.write_from_control(true);
    state->notice = Notice{"Printer paused", "Documents will wait until you resume it.", true};
    answers.queues = std::vector{queue("Office_laser"), queue("Studio_printer", true), queue("Lab_printer")};
    service->script(answers);
    ASSERT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", "\"refresh\""),
              kora_actions::Outcome::handled());
    EXPECT_TRUE(shows(*state, kPrintDialog)) << "no loading view over the dialog";
    EXPECT_FALSE(state->notice.has_value());
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(shows(*state, kPrintDialog));
    const auto dropdowns = kora_ui::testing::find_all<kora_ui::Dropdown>(*state);
    ASSERT_EQ(dropdowns.size(), 1U);
    EXPECT_EQ(dropdowns[0]->options().size(), 3U) << "composed over the new snapshot";
    EXPECT_TRUE(std::holds_alternative<surface::shown::PrintDialog>(state->shown_view));
    EXPECT_EQ(state->print_document, std::filesystem::path("/tmp/report.pdf"));
    EXPECT_EQ(state->print_printer, std::optional<std::string>("Office_laser"));
    EXPECT_EQ(state->copies.get(), 3.0);
    EXPECT_TRUE(state->two_sided.get());
    // Once printed, the outcome's refresh returns home as before.
    surface::execute(*state, PrintDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->notice.has_value(); }));
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_TRUE(std::holds_alternative<surface::shown::Home>(state->shown_view));
}

TEST_F(Refreshing, ARefreshKeepsTheScannedPagesAndTheSettingsPage) {
    answers.scanners = std::vector{scanner("test:0", "Flatbed one")};
    auto state = loaded_root();
    surface::execute(*state, OpenScan{});
    surface::execute(*state, PageScanned{page(1)});
    surface::execute(*state, PageScanned{page(2)});
    surface::execute(*state, PreviousPage{});
    const kora_ui::CropSelection drawn{0.1F, 0.1F, 0.9F, 0.8F};
    (void)state->crop_selection.publish(drawn);
    surface::execute(*state, Refresh{});
    EXPECT_TRUE(shows(*state, kScanResult));
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(shows(*state, kScanResult));
    ASSERT_EQ(state->pages.size(), 2U);
    EXPECT_EQ(state->current_index, 0U);
    ASSERT_TRUE(state->current_page.has_value());
    EXPECT_EQ(state->current_page->key(), state->pages[0].key());
    EXPECT_EQ(state->crop_selection.get(), drawn);
    EXPECT_EQ(state->scan_scanner, std::optional<std::string>("test:0"));

    surface::execute(*state, ScanAnother{});
    surface::execute(*state, Refresh{});
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(shows(*state, kScanSetup));
    EXPECT_TRUE(mentions(*state, "2 pages captured"));
    // An outcome on the settings page refreshes without leaving it.
    surface::execute(*state, OperationFinished{Notice{"Document canceled", "It was removed.", true}});
    ASSERT_TRUE(state->refresh_rx.has_value());
    ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
    EXPECT_TRUE(shows(*state, kScanSetup));
    EXPECT_TRUE(shows(*state, "Document canceled"));
}

TEST_F(Refreshing, ARefreshFromTheOtherPagesReturnsToTheDashboard) {
    answers.queues = std::vector{queue("Lab_printer")};
    auto state = loaded_root();
    const std::vector<std::pair<Operation, std::string_view>> pages{{ShowQueue{}, kQueue},
                                                                    {ShowHistory{}, kHistory},
                                                                    {ShowDiagnostics{}, kDiagnostics},
                                                                    {ShowDevice{"Lab_printer"}, kDevice},
                                                                    {FindPrinters{}, kDiscovery}};
    for (const auto& [operation, subtitle] : pages) {
        surface::execute(*state, operation);
        settle(*state);  // the search's own result too
        ASSERT_TRUE(shows(*state, subtitle)) << subtitle;
        surface::execute(*state, Refresh{});
        EXPECT_TRUE(shows(*state, kLoading)) << subtitle;
        ASSERT_TRUE(pump_until(*state, [&] { return !state->refresh_rx.has_value(); }));
        settle(*state);
        EXPECT_TRUE(is_dashboard(*state)) << subtitle;
    }
}

TEST_F(Refreshing, ThePageShowingIsComposedAgainOverANewSnapshot) {
    answers.queues = std::vector{queue("Lab_printer"), queue("Office_laser")};
    answers.jobs = std::vector{job("Lab_printer-7", printing::JobState::not_printed)};
    auto state = loaded_root();
    // A device page follows its printer, and gives way to home when the printer is gone.
    surface::execute(*state, ShowDevice{"Lab_printer"});
    ASSERT_TRUE(shows(*state, kDevice));
    const auto* before = state->content.get();
    auto paused = queue("Lab_printer", false, false);
    paused.state = printing::QueueState::paused;
    state->snapshot->printers = std::vector{paused, queue("Office_laser")};
    surface::recompose(*state);
    EXPECT_NE(state->content.get(), before) << "a new tree";
    EXPECT_TRUE(shows(*state, kDevice));
    EXPECT_TRUE(shows(*state, "Resume printer"));
    EXPECT_FALSE(shows(*state, "Pause printer"));
    state->snapshot->printers = std::vector{queue("Office_laser")};
    surface::recompose(*state);
    EXPECT_TRUE(is_dashboard(*state));
    EXPECT_TRUE(std::holds_alternative<surface::shown::Home>(state->shown_view));
    // The queue keeps its selection; discovery keeps what it found.
    surface::execute(*state, SelectJob{"Lab_printer-7"});
    surface::recompose(*state);
    EXPECT_TRUE(shows(*state, kQueue));
    EXPECT_EQ(state->selected_job, std::optional<std::string>("Lab_printer-7"));
    printing::DriverlessPrinter found;
    found.name = "Hall_printer";
    found.uri = "ipp://hall.local/ipp/print";
    surface::execute(*state, PrintersFound{std::vector{found}});
    surface::recompose(*state);
    EXPECT_TRUE(shows(*state, kDiscovery));
    EXPECT_TRUE(shows(*state, "Hall_printer"));
    // Without a snapshot only home, loading and discovery can be shown; nothing else is installed.
    auto bare = bare_root();
    const auto* first_run = bare->content.get();
    EXPECT_FALSE(surface::show(*bare, surface::shown::Queue{}));
    EXPECT_FALSE(surface::show(*bare, surface::shown::Scan{}));
    EXPECT_EQ(bare->content.get(), first_run);
    EXPECT_TRUE(std::holds_alternative<surface::shown::Home>(bare->shown_view));
    EXPECT_EQ(surface::compose(*bare, surface::shown::PrintDialog{}), nullptr);
}

}  // namespace
}  // namespace presswick::testing
