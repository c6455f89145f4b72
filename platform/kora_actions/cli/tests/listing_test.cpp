#include "listing.h"

#include <gtest/gtest.h>

namespace kora_actions::cli {
namespace {

using nlohmann::json;

// The shape ListResources answers: the application's resource, then the control resources.
json sample_listing() {
    return json::parse(R"([
      {"id": "presswick", "kind": "presswick.dashboard", "title": "Presswick",
       "actions": [{"id": "refresh", "title": "Refresh printers and documents", "execution_kind": 1,
                    "operation": "presswick.operation", "payload": "refresh", "params": []}],
       "children": [
         {"id": "presswick.printer.4c61625f7072696e746572", "kind": "presswick.printer", "title": "Lab printer",
          "actions": [{"id": "open", "title": "Open printer", "execution_kind": 2,
                       "operation": "presswick.operation", "payload": "device\u0000Lab_printer", "params": []}],
          "children": []}]},
      {"id": "kora.control:presswick.refresh", "kind": "kora.control", "title": "Refresh",
       "actions": [{"id": "invoke", "title": "Refresh", "execution_kind": 1,
                    "operation": "kora.ui.control.invoke", "payload": "presswick.refresh", "params": []}],
       "children": []},
      {"id": "kora.control:presswick.scan.resolution", "kind": "kora.control.segmented", "title": "300 dpi",
       "actions": [{"id": "select", "title": "Select", "execution_kind": 1,
                    "operation": "kora.ui.segmented.select",
                    "payload": {"control": "presswick.scan.resolution", "index": null},
                    "params": [{"name": "index", "type": "integer", "description": "Zero-based segment index"}]}],
       "children": []}
    ])");
}

TEST(Listing, ReadableTreeWithControlsApart) {
    EXPECT_EQ(format_listing(sample_listing()),
              "presswick  \"Presswick\"  [presswick.dashboard]\n"
              "  - refresh: Refresh printers and documents (task)\n"
              "    presswick.printer.4c61625f7072696e746572  \"Lab printer\"  [presswick.printer]\n"
              "      - open: Open printer (view)\n"
              "\n"
              "controls shown now:\n"
              "kora.control:presswick.refresh  \"Refresh\"  [kora.control]\n"
              "  - invoke: Refresh (task)\n"
              "kora.control:presswick.scan.resolution  \"300 dpi\"  [kora.control.segmented]\n"
              "  - select: Select (task, --index N)\n");
}

TEST(Listing, ChildActionCarriesItsRawTarget) {
    const auto invocation =
        plan_invocation(sample_listing(), "presswick.printer.4c61625f7072696e746572", "open", std::nullopt);
    ASSERT_TRUE(invocation);
    EXPECT_EQ(*invocation, (Invocation{2, "presswick.operation", "\"device\\u0000Lab_printer\""}));
}

TEST(Listing, ButtonControlInvokesItsId) {
    const auto invocation =
        plan_invocation(sample_listing(), "kora.control:presswick.refresh", "invoke", std::nullopt);
    ASSERT_TRUE(invocation);
    EXPECT_EQ(*invocation, (Invocation{1, "kora.ui.control.invoke", "\"presswick.refresh\""}));
}

TEST(Listing, SegmentSelectionFillsTheIndex) {
    const auto invocation =
        plan_invocation(sample_listing(), "kora.control:presswick.scan.resolution", "select", 2);
    ASSERT_TRUE(invocation);
    EXPECT_EQ(*invocation, (Invocation{1, "kora.ui.segmented.select",
                                       R"({"control":"presswick.scan.resolution","index":2})"}));
}

TEST(Listing, RefusalsSayWhy) {
    const auto listing = sample_listing();
    const auto missing = plan_invocation(listing, "presswick.job.00", "cancel", std::nullopt);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, PlanError::Kind::not_offered);
    EXPECT_EQ(missing.error().message, "no resource presswick.job.00 is offered");
    const auto no_action = plan_invocation(listing, "presswick", "pause", std::nullopt);
    EXPECT_EQ(no_action.error().message, "presswick has no action pause");
    const auto no_index =
        plan_invocation(listing, "kora.control:presswick.scan.resolution", "select", std::nullopt);
    EXPECT_EQ(no_index.error().kind, PlanError::Kind::usage);
    EXPECT_EQ(no_index.error().message, "select needs --index N");
    const auto stray_index = plan_invocation(listing, "presswick", "refresh", 1);
    EXPECT_EQ(stray_index.error().kind, PlanError::Kind::usage);
    EXPECT_EQ(stray_index.error().message, "refresh takes no --index");
}

// A listing of the wrong shape is an error naming what is wrong, never an exception.
TEST(Listing, MalformedListingsAreRefusedWithTheReason) {
    EXPECT_TRUE(read_listing(sample_listing().dump()));
    const std::pair<const char*, const char*> cases[] = {
        {"{", "the listing is not JSON"},
        {R"({"id": "presswick"})", "the listing is not a JSON array"},
        {R"([42])", "resource 1 of the listing is not an object"},
        {R"([{"title": "Presswick"}])", "resource 1 of the listing has no text \"id\""},
        {R"([{"id": "presswick", "actions": {}}])",
         "resource presswick has \"actions\" or \"children\" that are not a list"},
        {R"([{"id": "presswick", "actions": [{"id": "refresh", "operation": "presswick.operation",
             "execution_kind": "task"}]}])",
         "action refresh of resource presswick has no \"execution_kind\" from 0 to 255"},
        {R"([{"id": "presswick", "children": [{"id": "presswick.job.31", "actions": [{"id": 7}]}]}])",
         "action 1 of resource presswick.job.31 has no text \"id\""},
        {R"([{"id": "presswick", "actions": [{"id": "refresh", "operation": "presswick.operation",
             "execution_kind": 256}]}])",
         "action refresh of resource presswick has no \"execution_kind\" from 0 to 255"},
    };
    for (const auto& [text, reason] : cases) {
        const auto listing = read_listing(text);
        ASSERT_FALSE(listing) << text;
        EXPECT_EQ(listing.error(), reason) << text;
    }
    // Planning on a listing nobody checked still answers instead of throwing.
    const auto odd = json::parse(R"([{"id": "presswick", "actions": [{"id": "refresh", "execution_kind": "x",
                                     "operation": 3, "payload": "refresh"}]}])");
    const auto invocation = plan_invocation(odd, "presswick", "refresh", std::nullopt);
    ASSERT_TRUE(invocation);
    EXPECT_EQ(*invocation, (Invocation{0, "", "\"refresh\""}));
}

}  // namespace
}  // namespace kora_actions::cli
