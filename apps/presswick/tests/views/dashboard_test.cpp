// The dashboard.
#include "view_support.h"

namespace views_test {
namespace {

using namespace presswick::views;

std::string summary(const presswick::DeviceSnapshot& snapshot) {
    Root root;
    auto tree = build_dashboard_view(snapshot, root.state, std::nullopt);
    return collect_texts(*tree).at(1);
}

TEST(Dashboard, SummaryLineRules) {
    EXPECT_EQ(summary(snapshot_with({}, {}, {})), "Everything is ready");
    EXPECT_EQ(
        summary(snapshot_with(
            {}, {job("a-1", printing::JobState::in_progress), job("a-2", printing::JobState::printed)}, {})),
        "One document is active");
    EXPECT_EQ(summary(snapshot_with(
                  {},
                  {job("a-1", printing::JobState::unknown), job("a-2", printing::JobState::waiting),
                   job("a-3", printing::JobState::needs_attention), job("a-4", printing::JobState::canceled)},
                  {})),
              "3 documents are active");
    auto failed = snapshot_with({}, {job("a-1", printing::JobState::in_progress)}, {});
    failed.scanners = std::unexpected("down");
    EXPECT_EQ(summary(failed), "Some information needs refreshing");
}

printing::PrintQueue with_supplies(printing::PrintQueue printer, std::vector<printing::Supply> supplies) {
    printer.supplies = std::move(supplies);
    return printer;
}

TEST(Dashboard, SummarySaysWhatIsWrongWithThePrinters) {
    using printing::QueueState;
    const printing::Supply low{"Yellow Ink", std::nullopt, 5, 10};
    const printing::Supply fine{"Black Ink", std::nullopt, 80, 10};
    const printing::Supply unknown_low{"Cyan Ink", std::nullopt, 5, std::nullopt};
    EXPECT_EQ(summary(snapshot_with({printer("Studio_printer", QueueState::paused), printer("Office_laser")},
                                    {}, {})),
              "Studio printer is paused");
    EXPECT_EQ(summary(snapshot_with({printer("Office_laser", QueueState::unreachable)}, {}, {})),
              "Office laser can't be reached");
    EXPECT_EQ(summary(snapshot_with({with_supplies(printer("Studio_printer"), {fine, low})}, {}, {})),
              "Studio printer is low on Yellow Ink");
    // A level without its printer's low mark, or above it, is fine.
    EXPECT_EQ(summary(snapshot_with({with_supplies(printer("Studio_printer"), {fine, unknown_low})}, {}, {})),
              "Everything is ready");
    // Two or more: counted, whatever is wrong with each.
    EXPECT_EQ(
        summary(snapshot_with({printer("A", QueueState::unreachable), printer("B", QueueState::unreachable),
                               with_supplies(printer("C"), {low})},
                              {}, {})),
        "3 printers need attention");
    // The Part's rows come first.
    EXPECT_EQ(summary(snapshot_with({printer("A", QueueState::paused)},
                                    {job("A-1", printing::JobState::waiting, {}, {}, "A")}, {})),
              "One document is active");
}

TEST(Dashboard, LowSupplyIsMarkedOnTheCardAndWaitingSaysWhy) {
    using printing::QueueState;
    Root root;
    auto tree = build_dashboard_view(
        snapshot_with(
            {with_supplies(printer("Studio_printer", QueueState::paused),
                           {{"Black Ink", std::nullopt, 80, 10}, {"Yellow Ink", std::nullopt, 5, 10}})},
            {job("Studio_printer-4", printing::JobState::waiting, {}, 12)}, {}),
        root.state, std::nullopt);
    const auto texts = collect_texts(*tree);
    EXPECT_EQ(count(texts, "Yellow Ink is low"), 1U);
    EXPECT_EQ(count(texts, "Black Ink is low"), 0U);
    EXPECT_EQ(count(texts, "Waiting: Studio printer is paused"), 1U);
    EXPECT_EQ(count(texts, "Waiting to print"), 1U);
    auto previews = kora_ui::testing::find_all<kora_ui::PagePreview>(*tree);
    ASSERT_EQ(previews.size(), 1U);
    EXPECT_EQ(previews[0]->page(), 1U);  // a waiting job of 12 pages
    EXPECT_EQ(previews[0]->total(), 12U);
}

TEST(Dashboard, CurrentDocumentPagePosition) {
    auto position = [](std::optional<std::uint32_t> done, std::optional<std::uint32_t> total) {
        Root root;
        auto tree = build_dashboard_view(
            snapshot_with({}, {job("a-1", printing::JobState::in_progress, done, total)}, {}), root.state,
            std::nullopt);
        auto previews = kora_ui::testing::find_all<kora_ui::PagePreview>(*tree);
        EXPECT_EQ(previews.size(), 1U);
        EXPECT_EQ(previews[0]->label(), "Current document");
        return std::pair{previews[0]->page(), previews[0]->total()};
    };
    EXPECT_EQ(position(8, 12), (std::pair{9U, 12U}));
    EXPECT_EQ(position(12, 12), (std::pair{12U, 12U}));
    EXPECT_EQ(position(std::nullopt, std::nullopt), (std::pair{1U, 1U}));
    EXPECT_EQ(position(std::nullopt, 5), (std::pair{1U, 5U}));
}

// The dashboard's cards say they are cards: panels by their heading, about their document when they
// show one; printer cards by their printer.
TEST(Dashboard, CardsSayTheirTitleAndSubject) {
    Root root;
    auto tree = build_dashboard_view(
        snapshot_with({printer("Studio_printer")}, {job("a-1", printing::JobState::in_progress)}, {}),
        root.state, std::nullopt);
    std::vector<std::pair<std::string, std::string>> cards;
    for (const auto* card : kora_ui::testing::find_all<presswick::DashboardCard>(*tree)) {
        EXPECT_EQ(card->meaning(), kora_ui::Meaning::card);
        cards.emplace_back(card->said_title(), card->said_subject());
    }
    ASSERT_GE(cards.size(), 3U);
    EXPECT_EQ(cards[0].first, "Printing now");
    EXPECT_EQ(cards[0].second, presswick::document_title(job("a-1", printing::JobState::in_progress)));
    EXPECT_EQ(cards[1], (std::pair<std::string, std::string>{"Studio printer", "Studio printer"}));
    EXPECT_EQ(cards.back(), (std::pair<std::string, std::string>{"Device help", ""}));
}

TEST(Dashboard, CurrentDocumentTitlesAndCancel) {
    Root root;
    auto tree = build_dashboard_view(snapshot_with({},
                                                   {job("a-6", printing::JobState::printed),
                                                    job("Office_laser-7", printing::JobState::needs_attention,
                                                        std::nullopt, std::nullopt, "Office_laser")},
                                                   {}),
                                     root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*tree, "Needs attention"));
    EXPECT_TRUE(contains_text(*tree, "Sent to Office laser"));
    auto op = root.press(*tree, "presswick.job.cancel");
    ASSERT_TRUE(op);
    EXPECT_EQ(std::get<presswick::SelectJob>(*op).id, "Office_laser-7");
    auto waiting = build_dashboard_view(snapshot_with({}, {job("a-1", printing::JobState::waiting)}, {}),
                                        root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*waiting, "Waiting to print"));
    auto unknown =
        build_dashboard_view(snapshot_with({}, {job("a-1", std::nullopt)}, {}), root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*unknown, "Printing now"));
}

TEST(Dashboard, PrinterCardsAndRoles) {
    Root root;
    auto preferred = printer("Studio_printer");
    preferred.is_default = true;
    auto tree = build_dashboard_view(snapshot_with({preferred, printer("Office_laser")}, {}, {}), root.state,
                                     std::nullopt);
    auto texts = collect_texts(*tree);
    EXPECT_EQ(count(texts, "Preferred printer"), 1U);
    EXPECT_EQ(count(texts, "Available to your apps"), 1U);
    EXPECT_EQ(count(texts, "Supply levels unavailable"), 2U);
    auto open = buttons_with_id(*tree, "presswick.device.open.Office_laser");
    ASSERT_EQ(open.size(), 1U);
    EXPECT_EQ(open[0]->icon(), kora_ui::Icon::open);
    auto op = root.press(*tree, "presswick.device.open.Office_laser");
    EXPECT_EQ(std::get<presswick::ShowDevice>(*op).name, "Office_laser");
    EXPECT_EQ(kora_ui::testing::find_by_type_name(*tree, "presswick::surface::DashboardCard").size(),
              2U + 2U);  // two printers, recent, help
}

TEST(Dashboard, EmptyPrintersStillOfferScanning) {
    Root root;
    auto tree =
        build_dashboard_view(snapshot_with({}, {}, {{"s0", "Desk scanner"}}), root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*tree, "No printers added"));
    EXPECT_TRUE(contains_text(*tree, "Desk scanner is ready"));
    auto op = root.press(*tree, "presswick.discover.empty");
    EXPECT_TRUE(std::holds_alternative<presswick::FindPrinters>(*op));
    EXPECT_TRUE(std::holds_alternative<presswick::OpenScan>(*root.press(*tree, "presswick.scan.open")));
}

TEST(Dashboard, FailedSectionsHidePartsButKeepHelp) {
    Root root;
    presswick::DeviceSnapshot failed{std::unexpected("x"), std::vector<printing::PrintJob>{},
                                     std::unexpected("x")};
    auto tree = build_dashboard_view(failed, root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*tree, "Some device information couldn't be checked"));
    EXPECT_FALSE(contains_text(*tree, "Your printers"));
    EXPECT_FALSE(contains_text(*tree, "Scan a document"));
    EXPECT_TRUE(contains_text(*tree, "Recent documents"));
    EXPECT_TRUE(contains_text(*tree, "Device help"));
    presswick::DeviceSnapshot scanners_only{std::vector<printing::PrintQueue>{},
                                            std::vector<printing::PrintJob>{}, std::unexpected("x")};
    auto tree2 = build_dashboard_view(scanners_only, root.state, std::nullopt);
    EXPECT_TRUE(contains_text(*tree2, "Scanners couldn't be checked"));
}

TEST(Dashboard, RecentDocumentsTextAndNotice) {
    Root root;
    auto tree = build_dashboard_view(
        snapshot_with(
            {}, {job("a-1", printing::JobState::in_progress), job("a-2", printing::JobState::printed)}, {}),
        root.state, presswick::Notice{"Printer paused", "Documents wait.", true});
    EXPECT_TRUE(contains_text(*tree, "Review what printed and quickly print a retained job again."));
    auto banners = kora_ui::testing::find_all<kora_ui::Banner>(*tree);
    ASSERT_EQ(banners.size(), 1U);
    EXPECT_EQ(banners[0]->style(), kora_ui::BannerStyle::confirmation);
    auto none = build_dashboard_view(snapshot_with({}, {job("a-1", printing::JobState::in_progress)}, {}),
                                     root.state, presswick::Notice{"Failed", "No.", false});
    EXPECT_TRUE(contains_text(*none, "Completed documents will appear here."));
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::Banner>(*none)[0]->style(), kora_ui::BannerStyle::failure);
}

TEST(Dashboard, FramedAt1120) {
    Root root;
    auto tree = build_dashboard_view(presswick::sample::snapshot(), root.state, std::nullopt);
    auto frames = kora_ui::testing::find_all<kora_ui::Container>(*tree);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0]->max_width(), 1120.0F);
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::Scrollable>(*tree).size(), 1U);
}

}  // namespace
}  // namespace views_test
