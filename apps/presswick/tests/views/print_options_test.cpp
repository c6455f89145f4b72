// The print dialog's choices: the pages typed, the rows a printer's offers give, and the job they make.
#include "kora_ui/text_input.h"
#include "print_choices.h"
#include "view_support.h"

namespace views_test {
namespace {

using presswick::parse_page_ranges;
using presswick::PrintCells;
using Ranges = std::vector<printing::PageRange>;

TEST(PageRanges, ListsRangesAndOpenEnds) {
    EXPECT_EQ(parse_page_ranges("", 17), Ranges{});
    EXPECT_EQ(parse_page_ranges("   ", 0), Ranges{});
    EXPECT_EQ(parse_page_ranges("1-3, 5, 8-", 17), (Ranges{{1, 3}, {5, 5}, {8, 17}}));
    EXPECT_EQ(parse_page_ranges("2-3", 30), (Ranges{{2, 3}}));
    EXPECT_EQ(parse_page_ranges(" 4 ,2 - 3 ", 0), (Ranges{{2, 4}})) << "sorted and joined";
    EXPECT_EQ(parse_page_ranges("5, 1-6, 3", 9), (Ranges{{1, 6}})) << "overlaps merged";
    EXPECT_EQ(parse_page_ranges("7-", 0), (Ranges{{7, 2147483647U}})) << "open end with the count unknown";
    EXPECT_EQ(parse_page_ranges("17-", 17), (Ranges{{17, 17}}));
}

TEST(PageRanges, RefusesWhatIsNoPageOrOutOfRange) {
    const std::string syntax = "Enter pages such as 1-3, 5, 8-";
    for (const char* bad : {"0", "3-1", "a", "1,,2", "1-2-3", "-3", "1.5", "2 3", "1,", "99999999999"}) {
        const auto parsed = parse_page_ranges(bad, 17);
        ASSERT_FALSE(parsed.has_value()) << bad;
        EXPECT_EQ(parsed.error(), syntax) << bad;
    }
    EXPECT_EQ(parse_page_ranges("18", 17).error(), "Pages go from 1 to 17");
    EXPECT_EQ(parse_page_ranges("2, 15-20", 17).error(), "Pages go from 1 to 17");
    EXPECT_EQ(parse_page_ranges("20-", 17).error(), "Pages go from 1 to 17");
    EXPECT_TRUE(parse_page_ranges("18", 0).has_value()) << "no count, no upper bound";
}

printing::PrinterOptions studio_offers() {
    printing::PrinterOptions offers;
    offers.page_ranges = true;
    offers.papers = {{"iso_a4_210x297mm", "A4"}, {"na_letter_8.5x11in", "Letter"}};
    offers.paper_default = "na_letter_8.5x11in";
    offers.orientations = {printing::Orientation::portrait, printing::Orientation::landscape};
    offers.orientation_default = printing::Orientation::portrait;
    offers.color_modes = {printing::ColorMode::color, printing::ColorMode::monochrome};
    offers.color_default = printing::ColorMode::color;
    offers.qualities = {printing::PrintQuality::draft, printing::PrintQuality::normal};
    offers.quality_default = printing::PrintQuality::normal;
    offers.pages_per_sheet = {1, 2, 4};
    offers.pages_per_sheet_default = 1;
    offers.two_sided = true;
    offers.two_sided_default = true;
    offers.collate = true;
    return offers;
}

kora_ui::WidgetPtr dialog(Root& root, std::optional<printing::PrinterOptions> offers,
                          presswick::PrintPreview preview = presswick::PrintPreview::unavailable()) {
    if (offers) {
        root.state.print_options = presswick::Presswick::OfferedOptions{"Studio_printer", std::move(*offers)};
    }
    return build_print_view(snapshot_with({printer("Studio_printer")}, {}, {}), "/home/wren/Trip.pdf",
                            preview, std::string("Studio_printer"), root.state);
}

std::vector<std::string> segments(const kora_ui::Widget& tree, std::string_view id) {
    for (auto* group : kora_ui::testing::find_all<kora_ui::ToggleGroup>(tree)) {
        if (group->control_id() == id) {
            return group->options();
        }
    }
    return {};
}

kora_ui::Dropdown* dropdown(const kora_ui::Widget& tree, std::string_view id) {
    for (auto* found : kora_ui::testing::find_all<kora_ui::Dropdown>(tree)) {
        if (found->control_id() == id) {
            return found;
        }
    }
    return nullptr;
}

TEST(PrintOptions, RowsInOrderForWhatThePrinterOffers) {
    Root root;
    (void)root.state.copies.publish(3.0);
    auto tree = dialog(root, studio_offers());
    const auto texts = collect_texts(*tree);
    std::vector<std::string> rows;
    for (const char* row : {"Copies", "Print on both sides", "Pages", "Paper", "Orientation", "Color",
                            "Quality", "Pages per sheet", "Collate copies"}) {
        const auto at = std::ranges::find(texts, std::string(row));
        ASSERT_NE(at, texts.end()) << row;
        rows.push_back(std::to_string(at - texts.begin()));
    }
    EXPECT_TRUE(std::ranges::is_sorted(
        rows, [](const auto& a, const auto& b) { return std::stoi(a) < std::stoi(b); }));
    auto inputs = kora_ui::testing::find_all<kora_ui::TextInput>(*tree);
    ASSERT_EQ(inputs.size(), 1U);
    EXPECT_EQ(inputs[0]->control_id(), "presswick.print.pages");
    EXPECT_EQ(inputs[0]->accessible_label(), "Pages to print");
    EXPECT_EQ(segments(*tree, "presswick.print.orientation"),
              (std::vector<std::string>{"Portrait", "Landscape"}));
    EXPECT_EQ(segments(*tree, "presswick.print.color"),
              (std::vector<std::string>{"Color", "Black and white"}));
    EXPECT_EQ(segments(*tree, "presswick.print.quality"), (std::vector<std::string>{"Draft", "Normal"}));
    ASSERT_NE(dropdown(*tree, "presswick.print.paper"), nullptr);
    EXPECT_EQ(
        dropdown(*tree, "presswick.print.paper")->options(),
        (std::vector<kora_ui::DropdownOption>{{"iso_a4_210x297mm", "A4"}, {"na_letter_8.5x11in", "Letter"}}));
    ASSERT_NE(dropdown(*tree, "presswick.print.per-sheet"), nullptr);
    EXPECT_EQ(dropdown(*tree, "presswick.print.per-sheet")->options().size(), 3U);
    // Segmented controls are control resources other programs can choose.
    const auto resources = kora_ui::control_resources(*tree);
    EXPECT_TRUE(std::ranges::any_of(
        resources, [](const auto& r) { return r.id == "kora.control:presswick.print.color"; }));
    EXPECT_TRUE(std::ranges::any_of(
        resources, [](const auto& r) { return r.id == "kora.control:presswick.print.pages"; }));
    // A paper chosen goes into its cell.
    ASSERT_TRUE(dropdown(*tree, "presswick.print.paper")->choose("iso_a4_210x297mm"));
    EXPECT_EQ(root.state.print_paper.get(), "iso_a4_210x297mm");
}

TEST(PrintOptions, OnlyChoicesOfTwoOrMoreAndCollatingWithCopies) {
    Root root;
    auto offers = studio_offers();
    offers.color_modes.clear();  // a monochrome printer
    offers.page_ranges = false;
    auto tree = dialog(root, offers);
    EXPECT_FALSE(contains_text(*tree, "Color"));
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::TextInput>(*tree).empty());
    EXPECT_FALSE(contains_text(*tree, "Collate copies")) << "one copy";
    // Unknown offers: the two rows only.
    Root plain;
    auto basic = dialog(plain, std::nullopt);
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::ToggleGroup>(*basic).empty());
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::Dropdown>(*basic).size(), 1U);
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::Toggle>(*basic).at(0)->enabled());
}

TEST(PrintOptions, OneSidedPrinterDisablesBothSides) {
    Root root;
    auto offers = studio_offers();
    offers.two_sided = false;
    (void)root.state.two_sided.publish(false);
    auto tree = dialog(root, offers);
    auto toggles = kora_ui::testing::find_all<kora_ui::Toggle>(*tree);
    ASSERT_FALSE(toggles.empty());
    EXPECT_EQ(toggles[0]->accessible_label(), "Print on both sides");
    EXPECT_FALSE(toggles[0]->enabled());
    toggles[0]->set(true);
    EXPECT_FALSE(root.state.two_sided.get()) << "a disabled toggle takes no input";
    EXPECT_TRUE(contains_text(*tree, "This printer prints on one side only"));
}

TEST(PrintOptions, BadPagesAreSaidAndPrintWaits) {
    Root root;
    auto preview = presswick::sample::print_preview_image();
    preview.pages = 17;
    (void)root.state.print_pages.publish("12-20");
    auto tree = dialog(root, studio_offers(), presswick::PrintPreview::ready(preview));
    EXPECT_TRUE(contains_text(*tree, "Pages go from 1 to 17"));
    auto print = buttons_with_id(*tree, "presswick.print.submit");
    ASSERT_EQ(print.size(), 1U);
    EXPECT_FALSE(print[0]->has_action());
    (void)root.state.print_pages.publish("12-17");
    auto fixed = dialog(root, studio_offers(), presswick::PrintPreview::ready(preview));
    EXPECT_FALSE(contains_text(*fixed, "Pages go from 1 to 17"));
    EXPECT_TRUE(buttons_with_id(*fixed, "presswick.print.submit").at(0)->has_action());
}

TEST(PrintOptions, PreviewPagesAndTurnsForLandscape) {
    Root root;
    auto image = presswick::sample::print_preview_image();
    image.pages = 4;
    root.state.preview_page = 1;
    auto first = dialog(root, studio_offers(), presswick::PrintPreview::ready(image));
    EXPECT_TRUE(contains_text(*first, "Page 1 of 4"));
    EXPECT_FALSE(buttons_with_id(*first, "presswick.print.preview-previous").at(0)->has_action());
    auto op = root.press(*first, "presswick.print.preview-next");
    ASSERT_TRUE(op && std::holds_alternative<presswick::TurnPreviewPage>(*op));
    EXPECT_EQ(std::get<presswick::TurnPreviewPage>(*op).step, 1);
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::Image>(*first).at(0)->quarter_turns(), 0);

    root.state.preview_page = 4;
    (void)root.state.print_orientation.publish(1);
    auto last = dialog(root, studio_offers(), presswick::PrintPreview::ready(image));
    EXPECT_TRUE(contains_text(*last, "Page 4 of 4"));
    EXPECT_FALSE(buttons_with_id(*last, "presswick.print.preview-next").at(0)->has_action());
    EXPECT_TRUE(buttons_with_id(*last, "presswick.print.preview-previous").at(0)->has_action());
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::Image>(*last).at(0)->quarter_turns(), 1);
    // Unknown page count (plain text): no pager.
    image.pages = 0;
    auto text = dialog(root, studio_offers(), presswick::PrintPreview::ready(image));
    EXPECT_TRUE(buttons_with_id(*text, "presswick.print.preview-next").empty());
}

TEST(PrintChoices, CellsBecomeTheJobsOptions) {
    const auto offers = studio_offers();
    PrintCells cells{"2-3", "iso_a4_210x297mm", 1, 1, 0, "2", false, true};
    const auto job = presswick::job_options(cells, offers, 2, 30);
    ASSERT_TRUE(job.has_value()) << job.error();
    EXPECT_EQ(job->copies, 2);
    EXPECT_TRUE(job->two_sided);
    EXPECT_EQ(job->pages, (Ranges{{2, 3}}));
    EXPECT_EQ(job->paper, std::optional<std::string>("iso_a4_210x297mm"));
    EXPECT_EQ(job->orientation, printing::Orientation::landscape);
    EXPECT_EQ(job->color_mode, printing::ColorMode::monochrome);
    EXPECT_EQ(job->quality, printing::PrintQuality::draft);
    EXPECT_EQ(job->pages_per_sheet, std::optional<std::uint8_t>(2));
    EXPECT_EQ(job->collate, std::optional<bool>(false));
    // One copy: no collating; a printer offering nothing: copies and sides only.
    EXPECT_FALSE(presswick::job_options(cells, offers, 1, 30)->collate);
    const auto plain = presswick::job_options(cells, std::nullopt, 1, 30);
    EXPECT_EQ(*plain, (printing::JobOptions{1, true, {}, {}, {}, {}, {}, {}, {}}));
    auto one_sided = offers;
    one_sided.two_sided = false;
    EXPECT_FALSE(presswick::job_options(cells, one_sided, 1, 30)->two_sided);
    cells.pages = "31";
    EXPECT_EQ(presswick::job_options(cells, offers, 1, 30).error(), "Pages go from 1 to 30");
}

TEST(PrintChoices, DefaultsAndWhatANewPrinterAlsoOffers) {
    auto offers = studio_offers();
    const auto fresh = presswick::cells_for(offers, std::nullopt, "");
    EXPECT_EQ(fresh, (PrintCells{"", "na_letter_8.5x11in", 0, 0, 1, "1", true, true}));
    printing::JobOptions chosen;
    chosen.two_sided = false;
    chosen.paper = "iso_a4_210x297mm";
    chosen.orientation = printing::Orientation::landscape;
    chosen.color_mode = printing::ColorMode::monochrome;
    chosen.quality = printing::PrintQuality::high;  // this printer has no "Best"
    chosen.pages_per_sheet = 16;                    // nor 16 pages a sheet
    const auto kept = presswick::cells_for(offers, chosen, "2-3");
    EXPECT_EQ(kept, (PrintCells{"2-3", "iso_a4_210x297mm", 1, 1, 1, "1", true, false}));
    offers.papers = {{"na_letter_8.5x11in", "Letter"}, {"na_legal_8.5x14in", "Legal"}};
    EXPECT_EQ(presswick::cells_for(offers, chosen, "").paper, "na_letter_8.5x11in");
}

}  // namespace
}  // namespace views_test
