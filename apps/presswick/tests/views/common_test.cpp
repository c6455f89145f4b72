// The shared view helpers: display helpers, failed sections, the service problem banner, meters, headers.
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "view_support.h"

namespace views_test {
namespace {

using namespace presswick::views;

TEST(StatusText, FollowsStateThenAccepting) {
    auto p = printer("p", printing::QueueState::printing);
    p.accepting = false;
    EXPECT_EQ(printer_status_text(p), "Printing");
    p.state = printing::QueueState::paused;
    EXPECT_EQ(printer_status_text(p), "Paused");
    p.state = printing::QueueState::unreachable;
    EXPECT_EQ(printer_status_text(p), "Cannot reach this printer");
    p.state = printing::QueueState::idle;
    EXPECT_EQ(printer_status_text(p), "Not accepting new documents");
    p.accepting = true;
    EXPECT_EQ(printer_status_text(p), "Ready");
}

TEST(DisplayHelpers, NamesAndTitles) {
    EXPECT_EQ(presswick::display_name("Studio_printer"), "Studio printer");
    EXPECT_EQ(presswick::display_name("__-- _"), "");
    EXPECT_EQ(presswick::display_name("_Office--laser_ 2"), "Office laser 2");
    auto untitled = job("Studio_printer-42", printing::JobState::in_progress);
    untitled.title.reset();
    EXPECT_EQ(presswick::document_title(untitled), "Document 42");
    untitled.id = "1234";
    EXPECT_EQ(presswick::document_title(untitled), "Document 1234");
}

class DayLabel : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    static std::chrono::system_clock::time_point at(int year, int month, int day, int hour) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        return std::chrono::system_clock::from_time_t(timegm(&tm));
    }
};

TEST_F(DayLabel, TodayYesterdayAndShortDates) {
    const auto now = at(2026, 12, 8, 9);
    EXPECT_EQ(presswick::day_label(at(2026, 12, 8, 0), now), "today");
    EXPECT_EQ(presswick::day_label(at(2026, 12, 8, 23), now), "today");
    EXPECT_EQ(presswick::day_label(at(2026, 12, 7, 23), now), "yesterday");
    EXPECT_EQ(presswick::day_label(at(2026, 12, 7, 0), now), "yesterday");
    EXPECT_EQ(presswick::day_label(at(2026, 12, 3, 12), now), "3 Dec");
    EXPECT_EQ(presswick::day_label(at(2025, 11, 20, 12), now), "20 Nov 2025");
    EXPECT_EQ(presswick::day_label(at(2026, 12, 31, 23), at(2027, 1, 1, 1)), "yesterday");
}

TEST(FailedSections, OrderAndChoice) {
    presswick::DeviceSnapshot all_failed{std::unexpected("x"), std::unexpected("x"), std::unexpected("x")};
    EXPECT_EQ(failed_sections(all_failed, true, true, true),
              (std::vector<std::string>{"printers", "documents", "scanners"}));
    EXPECT_EQ(failed_sections(all_failed, true, false, true),
              (std::vector<std::string>{"printers", "scanners"}));
    EXPECT_TRUE(failed_sections(presswick::sample::snapshot(), true, true, true).empty());
}

TEST(ServiceProblemBanner, TitlesAndBody) {
    Root root;
    EXPECT_FALSE(service_problem_banner({}, root.state));
    auto one = service_problem_banner({"documents"}, root.state);
    ASSERT_TRUE(one);
    EXPECT_TRUE(contains_text(**one, "Print jobs couldn't be checked"));
    auto three = service_problem_banner({"printers", "documents", "scanners"}, root.state);
    ASSERT_TRUE(three);
    EXPECT_TRUE(contains_text(**three, "Some device information couldn't be checked"));
    EXPECT_TRUE(
        contains_text(**three,
                      "Presswick couldn't get printers or documents or scanners right now. Your saved "
                      "devices and documents have not been removed."));
    auto retry = root.press(**three, "presswick.service.retry");
    ASSERT_TRUE(retry);
    EXPECT_TRUE(std::holds_alternative<presswick::Refresh>(*retry));
    EXPECT_EQ(buttons_with_id(**three, "presswick.service.retry")[0]->icon(), kora_ui::Icon::refresh);
}

TEST(LowestSupply, SkipsUnknownLevels) {
    auto p = printer("p");
    EXPECT_FALSE(lowest_supply(p));
    p.supplies = std::vector<printing::Supply>{{"Black", {}, std::nullopt}};
    EXPECT_FALSE(lowest_supply(p));
    EXPECT_TRUE(contains_text(*lowest_supply_part(p), "Supply levels unavailable"));
    p.supplies->push_back({"Cyan", {}, 40});
    p.supplies->push_back({"Magenta", {}, 55});
    auto part = lowest_supply_part(p);
    EXPECT_TRUE(contains_text(*part, "Lowest supply: 40% remaining"));
    auto bars = kora_ui::testing::find_all<kora_ui::ProgressBar>(*part);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_FLOAT_EQ(bars[0]->fraction(), 0.4F);
    EXPECT_EQ(bars[0]->accessible_label(), "Lowest supply level");
}

TEST(Headers, PageHeaderGoesBackAndAppHeaderInvokes) {
    Root root;
    auto header = page_header("Title", "Sub", root.state);
    EXPECT_EQ(collect_texts(*header), (std::vector<std::string>{"Presswick", "Title", "Sub"}));
    auto back = root.press(*header, "presswick.back");
    ASSERT_TRUE(back);
    // The header says which is its back control and its title, rather than leaving it to looks.
    ASSERT_EQ(buttons_with_id(*header, "presswick.back").size(), 1U);
    EXPECT_EQ(buttons_with_id(*header, "presswick.back")[0]->meaning(), kora_ui::Meaning::back);
    const auto texts = kora_ui::testing::find_all<kora_ui::Text>(*header);
    ASSERT_EQ(texts.size(), 2U);
    EXPECT_EQ(texts[0]->meaning(), kora_ui::Meaning::page_title);
    EXPECT_EQ(texts[1]->meaning(), kora_ui::Meaning::none);
    EXPECT_TRUE(std::holds_alternative<presswick::CloseScan>(*back));
    auto app = app_header("Checking");
    auto add = buttons_with_id(*app, "presswick.add");
    ASSERT_EQ(add.size(), 1U);
    EXPECT_TRUE(add[0]->invokes_control_id());
}

TEST(Fill, ReplacesEachPlaceholder) {
    EXPECT_EQ(fill("{} of {} {}", 1, std::size_t{2}, "printers"), "1 of 2 printers");
    EXPECT_EQ(fill("no values"), "no values");
}

TEST(FirstRunAndLoading, ShowNoNoticeAndInvokeIds) {
    auto loading = build_loading_view();
    EXPECT_TRUE(contains_text(*loading, "Getting things ready"));
    auto bars = kora_ui::testing::find_all<kora_ui::ProgressBar>(*loading);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_TRUE(bars[0]->is_indeterminate());
    EXPECT_EQ(bars[0]->accessible_label(), "Loading Presswick");
    auto first = build_first_run_view();
    for (auto id : {"presswick.add", "presswick.print", "presswick.add.first", "presswick.help"}) {
        auto found = buttons_with_id(*first, id);
        ASSERT_EQ(found.size(), 1U) << id;
        EXPECT_TRUE(found[0]->invokes_control_id());
    }
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::Scrollable>(*first).empty());
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::Banner>(*first).empty());
}

}  // namespace
}  // namespace views_test
