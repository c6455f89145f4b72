// The resource and action contract: the declaration and invocation parsing.
#include "actions.h"
#include "harness.h"

namespace presswick::testing {
namespace {

using kora_actions::Outcome;

std::string nul(std::string_view kind, std::string_view target) {
    std::string text(kind);
    text.push_back('\0');
    text.append(target);
    return text;
}

// The JSON text of a string value.
std::string json(const std::string& text) {
    return nlohmann::json(text).dump();
}

class Invocations : public ExecutorTest {
  protected:
    // What invocations must not change.
    struct Trace {
        const kora_ui::Widget* content;
        std::optional<Notice> notice;
        bool refresh_pending;
        std::size_t spawned;
        std::optional<std::string> selected_job;
    };
    Trace trace(const Presswick& state) const {
        return {state.content.get(), state.notice, state.refresh_rx.has_value(), spawned().size(),
                state.selected_job};
    }
    void expect_unchanged(const Presswick& state, const Trace& before) {
        const auto now = trace(state);
        EXPECT_EQ(now.content, before.content);
        EXPECT_EQ(now.notice, before.notice);
        EXPECT_EQ(now.refresh_pending, before.refresh_pending);
        EXPECT_EQ(now.spawned, before.spawned);
        EXPECT_EQ(now.selected_job, before.selected_job);
        auto& rx = const_cast<Presswick&>(state).operations_rx;
        EXPECT_EQ(rx.try_recv().status, kora_ui::RecvStatus::empty) << "nothing is queued";
    }
};

TEST_F(Invocations, WithoutSnapshotTheResourceHasItsEightActionsAndNoChildren) {
    auto state = bare_root();
    const auto resources = state->resources();
    ASSERT_EQ(resources.size(), 1U);
    const auto& root = resources[0];
    EXPECT_EQ(root.id, "presswick");
    EXPECT_EQ(root.kind, "presswick.dashboard");
    EXPECT_EQ(root.title, "Presswick");
    EXPECT_TRUE(root.children.empty());
    struct Row {
        const char* id;
        const char* title;
        std::uint8_t kind;
        const char* payload;
    };
    const std::vector<Row> expected{
        {"refresh", "Refresh printers and documents", 1, "refresh"},
        {"open-dashboard", "Open dashboard", 2, "dashboard"},
        {"open-queue", "Open print queue", 2, "queue"},
        {"open-history", "Open print history", 2, "history"},
        {"run-diagnostics", "Run printer diagnostics", 2, "diagnostics"},
        {"find-printers", "Find network printers", 1, "discover"},
        {"print-document", "Print a document", 2, "print"},
        {"scan-document", "Scan a document", 2, "scan"},
    };
    ASSERT_EQ(root.actions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& action = root.actions[i];
        EXPECT_EQ(action.id, expected[i].id);
        EXPECT_EQ(action.title, expected[i].title);
        EXPECT_EQ(action.execution_kind, expected[i].kind);
        EXPECT_EQ(action.operation_id, "presswick.operation");
        EXPECT_EQ(action.payload, nlohmann::json(expected[i].payload));
        const bool task = expected[i].kind == 1;
        EXPECT_EQ(action.background, task);
        EXPECT_EQ(action.priority, task ? 3 : 1);
        EXPECT_EQ(action.confirmation, task ? 2 : 0);
    }
}

TEST_F(Invocations, PrinterChildren) {
    auto paused = queue("Paused_printer");  // paused yet still taking documents: they wait
    paused.state = printing::QueueState::paused;
    answers.queues = std::vector{queue("Lab_printer"), queue("Home--printer", true, false), paused};
    auto state = loaded_root();
    const auto root = state->resources().at(0);
    ASSERT_EQ(root.children.size(), 3U);
    const auto& lab = root.children[0];
    EXPECT_EQ(lab.id, "presswick.printer.4c61625f7072696e746572");
    EXPECT_EQ(lab.kind, "presswick.printer");
    EXPECT_EQ(lab.title, "Lab printer");
    ASSERT_EQ(lab.actions.size(), 3U);
    EXPECT_EQ(lab.actions[0].id, "open");
    EXPECT_EQ(lab.actions[0].title, "Open printer");
    EXPECT_EQ(lab.actions[0].execution_kind, 2);
    EXPECT_EQ(lab.actions[0].payload, nlohmann::json(nul("device", "Lab_printer")));
    EXPECT_EQ(lab.actions[1].id, "set-default");
    EXPECT_EQ(lab.actions[1].title, "Set as default printer");
    EXPECT_EQ(lab.actions[1].payload, nlohmann::json(nul("default", "Lab_printer")));
    EXPECT_EQ(lab.actions[2].id, "toggle-enabled");
    EXPECT_EQ(lab.actions[2].title, "Pause printer");
    EXPECT_EQ(lab.actions[2].execution_kind, 1);
    EXPECT_EQ(lab.actions[2].payload, nlohmann::json(nul("pause", "Lab_printer")));
    const auto& home = root.children[1];
    EXPECT_EQ(home.title, "Home printer");
    ASSERT_EQ(home.actions.size(), 2U) << "the preferred printer has no set-default";
    EXPECT_EQ(home.actions[1].title, "Resume printer");
    EXPECT_EQ(home.actions[1].payload, nlohmann::json(nul("resume", "Home--printer")));
    ASSERT_EQ(root.children[2].actions.size(), 3U);
    EXPECT_EQ(root.children[2].actions[2].title, "Resume printer");
    EXPECT_EQ(root.children[2].actions[2].payload, nlohmann::json(nul("resume", "Paused_printer")));
}

TEST_F(Invocations, JobChildrenOfferCancelAndRetryByState) {
    answers.jobs = std::vector{
        job("Lab-0", printing::JobState::unknown),     job("Lab-1", printing::JobState::waiting),
        job("Lab-2", printing::JobState::in_progress), job("Lab-3", printing::JobState::needs_attention),
        job("Lab-4", printing::JobState::canceled),    job("Lab-5", printing::JobState::not_printed),
        job("Lab-6", printing::JobState::printed),     job("Lab-9", std::nullopt, "Taxes.pdf")};
    auto state = loaded_root();
    const auto children = state->resources().at(0).children;
    ASSERT_EQ(children.size(), 8U);
    auto ids = [](const kora_actions::Resource& r) {
        std::vector<std::string> out;
        for (const auto& a : r.actions) out.push_back(a.id);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(ids(children[0]), (V{"open-queue", "cancel"}));
    EXPECT_EQ(ids(children[2]), (V{"open-queue", "cancel"}));
    EXPECT_EQ(ids(children[3]), (V{"open-queue", "cancel", "retry"}));
    EXPECT_EQ(ids(children[4]), (V{"open-queue", "retry"}));
    EXPECT_EQ(ids(children[5]), (V{"open-queue", "retry"}));
    EXPECT_EQ(ids(children[6]), (V{"open-queue"}));
    EXPECT_EQ(ids(children[7]), (V{"open-queue"})) << "no reported state, neither cancel nor retry";
    EXPECT_EQ(children[1].id, "presswick.job." + actions::hex_identifier("Lab-1"));
    EXPECT_EQ(children[1].id, "presswick.job.4c61622d31");
    EXPECT_EQ(children[1].kind, "presswick.job");
    EXPECT_EQ(children[1].title, "Document 1");
    EXPECT_EQ(children[7].title, "Taxes.pdf");
    EXPECT_EQ(children[1].actions[0].title, "Open queue");
    EXPECT_EQ(children[1].actions[0].payload, nlohmann::json("queue"));
    EXPECT_EQ(children[1].actions[1].title, "Cancel document");
    EXPECT_EQ(children[1].actions[1].payload, nlohmann::json(nul("cancel", "Lab-1")));
    EXPECT_EQ(children[4].actions[1].title, "Print again");
    EXPECT_EQ(children[4].actions[1].payload, nlohmann::json(nul("retry", "Lab-4")));
}

TEST_F(Invocations, ChildrenComeInPrinterJobScannerOrderAndFailedListsAddNothing) {
    answers.queues = std::unexpected(std::string("down"));
    answers.jobs = std::vector{job("Lab-1", printing::JobState::waiting)};
    answers.scanners = std::vector{scanner("airscan:e0:Hall", "Hall scanner")};
    auto state = loaded_root();
    const auto children = state->resources().at(0).children;
    ASSERT_EQ(children.size(), 2U);
    EXPECT_EQ(children[0].kind, "presswick.job");
    EXPECT_EQ(children[1].kind, "presswick.scanner");
    EXPECT_EQ(children[1].id, "presswick.scanner." + actions::hex_identifier("airscan:e0:Hall"));
    EXPECT_EQ(children[1].title, "Hall scanner");
    ASSERT_EQ(children[1].actions.size(), 1U);
    EXPECT_EQ(children[1].actions[0].id, "scan");
    EXPECT_EQ(children[1].actions[0].title, "Scan a document");
    EXPECT_EQ(children[1].actions[0].execution_kind, 2);
    EXPECT_EQ(children[1].actions[0].payload, nlohmann::json(nul("scan-device", "airscan:e0:Hall")));
}

TEST_F(Invocations, HexIsLowercaseTwoDigitsPerUtf8Byte) {
    EXPECT_EQ(actions::hex_identifier("Ü\n"), "c39c0a");
    EXPECT_EQ(actions::hex_identifier(""), "");
}

TEST_F(Invocations, RefreshIsHandledAsATaskOnly) {
    auto state = loaded_root();
    const auto before = trace(*state);
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", "\"refresh\""),
              Outcome::failed("Presswick operation has the wrong execution kind"));
    expect_unchanged(*state, before);
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", " \"refresh\"\n"),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kLoading)) << "executed before the call returns";
    EXPECT_TRUE(state->refresh_rx.has_value());
}

TEST_F(Invocations, BareWordIsInvalidJson) {
    auto state = loaded_root();
    const auto before = trace(*state);
    const auto outcome = state->invoke_resource_operation_v2(1, "presswick.operation", "refresh");
    EXPECT_EQ(outcome.kind, Outcome::Kind::failed);
    EXPECT_TRUE(outcome.message.starts_with("invalid Presswick operation: ")) << outcome.message;
    EXPECT_GT(outcome.message.size(), std::string("invalid Presswick operation: ").size());
    expect_unchanged(*state, before);
}

TEST_F(Invocations, JsonThatIsNotAStringIsInvalid) {
    auto state = loaded_root();
    const auto before = trace(*state);
    for (const char* text :
         {"5", "null", "[\"refresh\"]", "{\"kind\":\"refresh\"}", "\"refresh\" \"x\"", ""}) {
        const auto outcome = state->invoke_resource_operation_v2(1, "presswick.operation", text);
        EXPECT_EQ(outcome.kind, Outcome::Kind::failed) << text;
        EXPECT_TRUE(outcome.message.starts_with("invalid Presswick operation: ")) << text;
    }
    expect_unchanged(*state, before);
}

TEST_F(Invocations, UnknownKindFails) {
    auto state = loaded_root();
    const auto before = trace(*state);
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", json("Refresh")),
              Outcome::failed("unknown Presswick operation"));
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("open", "x"))),
              Outcome::failed("unknown Presswick operation"));
    expect_unchanged(*state, before);
}

TEST_F(Invocations, KindIsCheckedBeforeTheTarget) {
    auto state = loaded_root();
    const auto before = trace(*state);
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", json("device")),
              Outcome::failed("Presswick operation has the wrong execution kind"));
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("device")),
              Outcome::failed("Presswick resource is no longer available"));
    for (const char* kind : {"default", "pause", "resume", "cancel", "retry"}) {
        EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", json(kind)),
                  Outcome::failed("Presswick resource is no longer available"))
            << kind;
    }
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("scan-device")),
              Outcome::failed("Presswick resource is no longer available"));
    expect_unchanged(*state, before);
}

TEST_F(Invocations, ATargetAfterAKindThatNeedsNoneIsIgnored) {
    auto state = loaded_root();
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("history", "anything"))),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kHistory));
}

TEST_F(Invocations, TargetsReachTheExecutor) {
    answers.queues = std::vector{queue("Lab_printer")};
    answers.scanners = std::vector{scanner("test:0", "T"), scanner("test:1", "U")};
    auto state = loaded_root();
    EXPECT_EQ(
        state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("device", "Lab_printer"))),
        Outcome::handled());
    EXPECT_TRUE(shows(*state, kDevice));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("scan-device", "test:1"))),
        Outcome::handled());
    EXPECT_EQ(state->scan_scanner, std::optional<std::string>("test:1"));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("pause", "Lab_printer"))),
        Outcome::handled());
    EXPECT_TRUE(wait_for_call("set_enabled(Lab_printer,false)"));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("resume", "Lab_printer"))),
        Outcome::handled());
    EXPECT_TRUE(wait_for_call("set_enabled(Lab_printer,true)"));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("default", "Lab_printer"))),
        Outcome::handled());
    EXPECT_TRUE(wait_for_call("set_default(Lab_printer)"));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("cancel", "Lab_printer-3"))),
        Outcome::handled());
    EXPECT_TRUE(wait_for_call("cancel_job(Lab_printer-3)"));
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("retry", "Lab_printer-3"))),
        Outcome::handled());
    EXPECT_TRUE(wait_for_call("retry_job(Lab_printer-3)"));
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", json("discover")),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kDiscovery));
}

TEST_F(Invocations, ViewKindsMapToTheirOperations) {
    auto state = loaded_root();
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("queue")),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kQueue));
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("diagnostics")),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kDiagnostics));
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("scan")),
              Outcome::handled());
    EXPECT_TRUE(shows(*state, kScanSetup));
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("dashboard")),
              Outcome::handled());
    EXPECT_TRUE(is_dashboard(*state));
    picker->hold();
    EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json("print")),
              Outcome::handled());
    EXPECT_TRUE(state->document_pick.has_value());
}

TEST_F(Invocations, EmptyTargetAfterANulIsATarget) {
    auto state = loaded_root();
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("cancel", ""))),
              Outcome::handled());
    EXPECT_TRUE(wait_for_call("cancel_job()"));
}

// A target reaches the print service as a C string: a NUL inside it would name another device.
TEST_F(Invocations, TargetsWithANulOrControlCharacterAreRefused) {
    answers.queues = std::vector{queue("Studio_printer")};
    auto state = loaded_root();
    const auto before = trace(*state);
    for (const std::string& target : {nul("Studio_printer", "x"), std::string("Studio_printer\n"),
                                      std::string("Studio\x7fprinter"), std::string("\x01")}) {
        const auto outcome =
            state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("pause", target)));
        EXPECT_EQ(outcome.kind, Outcome::Kind::failed);
        EXPECT_TRUE(outcome.message.starts_with("invalid Presswick operation: ")) << outcome.message;
    }
    expect_unchanged(*state, before);
    EXPECT_FALSE(wait_for_call("set_enabled(Studio_printer,false)", std::chrono::milliseconds(300)));
    // Printable UTF-8 still passes.
    EXPECT_EQ(
        state->invoke_resource_operation_v2(1, "presswick.operation", json(nul("pause", "Büro-Drucker"))),
        Outcome::handled());
}

// Another program may only choose one of the listed scanners, never a device (or a network host) of its own.
TEST_F(Invocations, OnlyAListedScannerCanBeChosen) {
    answers.scanners = std::vector{scanner("test:0", "T")};
    auto state = loaded_root();
    const auto before = trace(*state);
    for (const char* id : {"net:attacker.example:epson2", "test:1", ""}) {
        EXPECT_EQ(state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("scan-device", id))),
                  Outcome::failed("Presswick resource is no longer available"))
            << id;
    }
    expect_unchanged(*state, before);
    EXPECT_EQ(state->scan_scanner, std::nullopt);
    EXPECT_EQ(
        state->invoke_resource_operation_v2(2, "presswick.operation", json(nul("scan-device", "test:0"))),
        Outcome::handled());
    EXPECT_EQ(state->scan_scanner, std::optional<std::string>("test:0"));
}

TEST_F(Invocations, OtherOperationsAndKindZeroAreNotHandled) {
    auto state = loaded_root();
    const auto before = trace(*state);
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.refresh", json("refresh")),
              Outcome::not_handled());
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.refresh", "garbage"), Outcome::not_handled());
    EXPECT_EQ(state->invoke_resource_operation_v2(0, "presswick.operation", json("refresh")),
              Outcome::not_handled());
    EXPECT_EQ(state->invoke_resource_operation_v2(1, "presswick.operation ", json("refresh")),
              Outcome::not_handled());
    expect_unchanged(*state, before);
}

TEST_F(Invocations, InvalidUtf8InsideTheJsonIsInvalid) {
    auto state = loaded_root();
    const auto before = trace(*state);
    const auto outcome = state->invoke_resource_operation_v2(1, "presswick.operation", "\"ref\xff\"");
    EXPECT_EQ(outcome.kind, Outcome::Kind::failed);
    EXPECT_TRUE(outcome.message.starts_with("invalid Presswick operation: "));
    expect_unchanged(*state, before);
}

TEST_F(Invocations, OversizedArgumentsAreRefusedAndLongParserMessagesCut) {
    auto state = loaded_root();
    const auto before = trace(*state);
    const auto huge = state->invoke_resource_operation_v2(1, "presswick.operation",
                                                          json(nul("default", std::string(70 * 1024, 'p'))));
    EXPECT_EQ(huge.kind, Outcome::Kind::failed);
    EXPECT_TRUE(huge.message.starts_with("invalid Presswick operation: ")) << huge.message;
    EXPECT_LT(huge.message.size(), 400U);
    // Under the limit but malformed: the parser quotes what it read, and only a short head comes back.
    const auto malformed = state->invoke_resource_operation_v2(1, "presswick.operation",
                                                               "\"refresh" + std::string(60 * 1024, 'x'));
    EXPECT_EQ(malformed.kind, Outcome::Kind::failed);
    EXPECT_TRUE(malformed.message.starts_with("invalid Presswick operation: "));
    EXPECT_LT(malformed.message.size(), 400U);
    expect_unchanged(*state, before);
}

}  // namespace
}  // namespace presswick::testing
