// Device detail and printer discovery.
#include "view_support.h"

namespace views_test {
namespace {

using namespace presswick::views;

std::vector<std::string> control_labels(const printing::PrintQueue& p) {
    Root root;
    auto tree = build_device_view(p, root.state);
    auto labels = button_labels(*tree);
    labels.erase(labels.begin());  // the back button
    return labels;
}

TEST(Device, ControlsPerRoleAndState) {
    auto p = printer("Office_laser");
    EXPECT_EQ(control_labels(p), (std::vector<std::string>{"Pause printer", "Make preferred",
                                                           "View print queue", "Check printer"}));
    p.is_default = true;
    EXPECT_EQ(control_labels(p),
              (std::vector<std::string>{"Pause printer", "View print queue", "Check printer"}));
    p.state = printing::QueueState::paused;
    EXPECT_EQ(control_labels(p)[0], "Resume printer");
    p.state = printing::QueueState::printing;
    p.accepting = false;
    EXPECT_EQ(control_labels(p)[0], "Resume printer");
}

TEST(Device, PauseAndResumeSendTheWantedValue) {
    Root root;
    auto p = printer("Office_laser");
    auto tree = build_device_view(p, root.state);
    auto op = std::get<presswick::SetPrinterEnabled>(*root.press(*tree, "presswick.device.enabled"));
    EXPECT_EQ(op.name, "Office_laser");
    EXPECT_FALSE(op.enabled);
    p.accepting = false;
    auto resumed = build_device_view(p, root.state);
    EXPECT_TRUE(
        std::get<presswick::SetPrinterEnabled>(*root.press(*resumed, "presswick.device.enabled")).enabled);
    EXPECT_EQ(std::get<presswick::SetPreferredPrinter>(*root.press(*tree, "presswick.device.default")).name,
              "Office_laser");
    EXPECT_TRUE(std::holds_alternative<presswick::ShowQueue>(*root.press(*tree, "presswick.device.queue")));
    EXPECT_TRUE(std::holds_alternative<presswick::ShowDiagnostics>(
        *root.press(*tree, "presswick.device.diagnostics")));
    EXPECT_TRUE(contains_text(*tree, "Office laser"));
}

TEST(Device, SuppliesIncludingUnknownLevelAsZero) {
    Root root;
    auto p = printer("p");
    p.supplies = std::vector<printing::Supply>{{"Black", "#111111", 72}, {"Cyan", {}, std::nullopt}};
    auto tree = build_device_view(p, root.state);
    EXPECT_TRUE(contains_text(*tree, "Black: 72% remaining"));
    EXPECT_TRUE(contains_text(*tree, "Cyan: 0% remaining"));
    auto bars = kora_ui::testing::find_all<kora_ui::ProgressBar>(*tree);
    ASSERT_EQ(bars.size(), 2U);
    EXPECT_FLOAT_EQ(bars[1]->fraction(), 0.0F);
    // A supply at or below its printer's low level is marked under its meter; others are not.
    p.supplies =
        std::vector<printing::Supply>{{"Black", {}, 10, 10}, {"Cyan", {}, 11, 10}, {"Waste", {}, 1, {}}};
    const auto marked = kora_ui::testing::collect_texts(*build_device_view(p, root.state));
    EXPECT_EQ(std::ranges::count(marked, std::string("Black is low")), 1);
    EXPECT_EQ(std::ranges::count(marked, std::string("Cyan is low")), 0);
    EXPECT_EQ(std::ranges::count(marked, std::string("Waste is low")), 0);
    p.supplies = std::vector<printing::Supply>{};
    EXPECT_TRUE(
        contains_text(*build_device_view(p, root.state), "This printer does not report supply levels."));
    p.supplies.reset();
    EXPECT_TRUE(
        contains_text(*build_device_view(p, root.state), "This printer does not report supply levels."));
}

TEST(Discovery, FourBodies) {
    Root root;
    auto searching = build_discovery_view(std::nullopt, root.state);
    EXPECT_TRUE(contains_text(*searching, "Looking nearby"));
    EXPECT_TRUE(buttons_with_id(*searching, "presswick.discover.retry").empty());
    auto bars = kora_ui::testing::find_all<kora_ui::ProgressBar>(*searching);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_TRUE(bars[0]->is_indeterminate());
    EXPECT_EQ(bars[0]->accessible_label(), "Finding nearby printers");

    auto failed = build_discovery_view(DiscoveryResult(std::unexpected("no network")), root.state);
    EXPECT_TRUE(contains_text(*failed, "Could not search right now"));
    EXPECT_EQ(buttons_with_id(*failed, "presswick.discover.retry").at(0)->label(), "Try again");
    auto empty =
        build_discovery_view(DiscoveryResult(std::vector<printing::DriverlessPrinter>{}), root.state);
    EXPECT_TRUE(contains_text(*empty, "No printers found"));
    EXPECT_EQ(buttons_with_id(*empty, "presswick.discover.retry").at(0)->label(), "Search again");
    EXPECT_TRUE(
        std::holds_alternative<presswick::FindPrinters>(*root.press(*empty, "presswick.discover.retry")));
}

TEST(Discovery, FoundPrintersCarryTheirOwnRecords) {
    Root root;
    std::vector<printing::DriverlessPrinter> found{{"ipps://a.local/ipp/print", "Twin", std::nullopt},
                                                   {"ipps://b.local/ipp/print", "Twin", "Hall"}};
    auto tree = build_discovery_view(DiscoveryResult(found), root.state);
    EXPECT_TRUE(contains_text(*tree, "Nearby"));
    EXPECT_TRUE(contains_text(*tree, "Hall"));
    auto adds = buttons_with_id(*tree, "presswick.discover.add.Twin");
    ASSERT_EQ(adds.size(), 2U);
    EXPECT_EQ(adds[0]->icon(), kora_ui::Icon::add);
    adds[1]->press();
    EXPECT_EQ(std::get<presswick::AddPrinter>(*root.state.operations_rx.try_recv().value).printer, found[1]);
    adds[0]->press();
    EXPECT_EQ(std::get<presswick::AddPrinter>(*root.state.operations_rx.try_recv().value).printer, found[0]);
}

}  // namespace
}  // namespace views_test
