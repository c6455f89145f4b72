// The print dialog and device help.
#include "view_support.h"

namespace views_test {
namespace {

using namespace presswick::views;

kora_ui::WidgetPtr print_view(Root& root, const presswick::DeviceSnapshot& snapshot,
                              const presswick::PrintPreview& preview, std::optional<std::string> chosen,
                              std::filesystem::path path = "/home/wren/Trip.pdf") {
    return build_print_view(snapshot, path, preview, chosen, root.state);
}

TEST(Print, DropdownOptionsAndChoice) {
    Root root;
    auto busy = printer("Studio_printer", printing::QueueState::printing);
    auto tree = print_view(root, snapshot_with({busy, printer("Office_laser")}, {}, {}),
                           presswick::PrintPreview::preparing(), std::string("Office_laser"));
    auto dropdowns = kora_ui::testing::find_all<kora_ui::Dropdown>(*tree);
    ASSERT_EQ(dropdowns.size(), 1U);
    EXPECT_EQ(dropdowns[0]->control_id(), "presswick.print.printer");
    EXPECT_EQ(dropdowns[0]->placeholder(), "Choose a printer");
    EXPECT_EQ(dropdowns[0]->options(),
              (std::vector<kora_ui::DropdownOption>{{"Studio_printer", "Studio printer (Printing)"},
                                                    {"Office_laser", "Office laser (Ready)"}}));
    EXPECT_EQ(dropdowns[0]->value(), std::optional<std::string>("Office_laser"));
    ASSERT_TRUE(dropdowns[0]->choose("Studio_printer"));
    EXPECT_EQ(std::get<presswick::ChoosePrintPrinter>(*root.state.operations_rx.try_recv().value).name,
              "Studio_printer");
    EXPECT_TRUE(
        std::holds_alternative<presswick::PrintDocument>(*root.press(*tree, "presswick.print.submit")));
}

TEST(Print, NoPrinterChosenOffersOnlyCancel) {
    Root root;
    presswick::DeviceSnapshot failed{std::unexpected("x"), std::vector<printing::PrintJob>{},
                                     std::vector<printing::Scanner>{}};
    auto tree = print_view(root, failed, presswick::PrintPreview::unavailable(), std::nullopt);
    EXPECT_TRUE(buttons_with_id(*tree, "presswick.print.submit").empty());
    EXPECT_TRUE(std::holds_alternative<presswick::CancelPrint>(*root.press(*tree, "presswick.print.cancel")));
    EXPECT_TRUE(contains_text(*tree, "Printers couldn't be checked"));
    auto dropdown = kora_ui::testing::find_all<kora_ui::Dropdown>(*tree).at(0);
    EXPECT_TRUE(dropdown->options().empty());
    EXPECT_FALSE(dropdown->value());
}

TEST(Print, PreviewStates) {
    Root root;
    const auto snapshot = presswick::sample::snapshot();
    auto preparing = print_view(root, snapshot, presswick::PrintPreview::preparing(), std::nullopt);
    auto bars = kora_ui::testing::find_all<kora_ui::ProgressBar>(*preparing);
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_TRUE(bars[0]->is_indeterminate());
    EXPECT_EQ(bars[0]->accessible_label(), "Preparing document preview");

    auto ready =
        print_view(root, snapshot, presswick::PrintPreview::ready(presswick::sample::print_preview_image()),
                   std::nullopt);
    auto images = kora_ui::testing::find_all<kora_ui::Image>(*ready);
    ASSERT_EQ(images.size(), 1U);
    EXPECT_EQ(images[0]->accessible_label(), "Preview of Trip.pdf");
    EXPECT_EQ(images[0]->width(), 320U);
    EXPECT_EQ(images[0]->height(), 420U);

    auto missing = print_view(root, snapshot, presswick::PrintPreview::unavailable(), std::nullopt);
    EXPECT_TRUE(contains_text(*missing, "Preview unavailable"));
    EXPECT_TRUE(contains_text(*missing, "The original document is unchanged."));
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::IconWidget>(*missing).at(0)->icon(),
              kora_ui::Icon::preview_missing);
}

TEST(Print, DocumentNames) {
    EXPECT_EQ(print_document_name("/home/wren/Trip.pdf"), "Trip.pdf");
    EXPECT_EQ(print_document_name("/"), "Selected document");
    EXPECT_EQ(print_document_name(std::filesystem::path("/tmp/bad\xff\xfe.pdf")), "Selected document");
}

TEST(Print, CopiesRangeAndCellsSurviveRebuilds) {
    Root root;
    auto tree =
        print_view(root, presswick::sample::snapshot(), presswick::PrintPreview::unavailable(), std::nullopt);
    auto inputs = kora_ui::testing::find_all<kora_ui::NumberInput>(*tree);
    ASSERT_EQ(inputs.size(), 1U);
    EXPECT_EQ(inputs[0]->control_id(), "presswick.print.copies");
    EXPECT_EQ(inputs[0]->accessible_label(), "Number of copies");
    inputs[0]->enter(0);
    EXPECT_EQ(root.state.copies.get(), 1.0);
    inputs[0]->enter(250);
    EXPECT_EQ(root.state.copies.get(), 99.0);
    inputs[0]->enter(3);
    kora_ui::testing::find_all<kora_ui::Toggle>(*tree).at(0)->set(true);
    auto rebuilt =
        print_view(root, presswick::sample::snapshot(), presswick::PrintPreview::unavailable(), std::nullopt);
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::NumberInput>(*rebuilt).at(0)->state().get(), 3.0);
    EXPECT_TRUE(kora_ui::testing::find_all<kora_ui::Toggle>(*rebuilt).at(0)->state().get());
}

TEST(Diagnostics, CountsSingularAndPlural) {
    Root root;
    auto answered = printer("A");
    auto silent = printer("B");
    silent.answered = false;
    auto one = build_diagnostics_view(snapshot_with({answered}, {}, {{"s", "S"}}), root.state);
    EXPECT_TRUE(contains_text(*one, "1 of 1 printer responded"));
    EXPECT_TRUE(contains_text(*one, "0 printers report ink or toner levels"));
    auto supplied = printer("C");
    supplied.supplies = std::vector<printing::Supply>{{}};
    auto inked = build_diagnostics_view(snapshot_with({supplied}, {}, {}), root.state);
    EXPECT_TRUE(contains_text(*inked, "1 printer reports ink or toner levels"));
    EXPECT_TRUE(contains_text(*one, "1 scanner available"));
    auto two = build_diagnostics_view(snapshot_with({answered, silent}, {}, {}), root.state);
    EXPECT_TRUE(contains_text(*two, "1 of 2 printers responded"));
    EXPECT_TRUE(
        contains_text(*two, "Live details are unavailable. The printer may be asleep or disconnected."));
    EXPECT_TRUE(contains_text(*two, "The printer answered the latest status check."));
}

TEST(Diagnostics, FailedScannersButNotDocuments) {
    Root root;
    presswick::DeviceSnapshot failed{std::vector<printing::PrintQueue>{}, std::unexpected("x"),
                                     std::unexpected("x")};
    auto tree = build_diagnostics_view(failed, root.state);
    EXPECT_TRUE(contains_text(*tree, "0 scanners available"));
    EXPECT_TRUE(contains_text(*tree, "Scanners couldn't be checked"));
    EXPECT_FALSE(contains_text(*tree, "Some device information couldn't be checked"));
    EXPECT_EQ(buttons_with_id(*tree, "presswick.diagnostics.refresh").size(),
              2U);  // the check and the scanner card
    EXPECT_TRUE(
        contains_text(*tree, "No scanner was found. Check its cable or network connection, then refresh."));
}

TEST(Diagnostics, AdviceLimitsAndMeters) {
    Root root;
    auto p = printer("Studio_printer");
    p.state_reasons = {"media-empty-warning", "Marker-Supply-Empty", "toner-low-report", "cover-open", "jam"};
    p.supplies = std::vector<printing::Supply>{};
    for (int i = 0; i < 8; ++i) {
        p.supplies->push_back(
            {"S" + std::to_string(i), {}, i == 2 ? std::nullopt : std::optional<std::uint8_t>(10 * i)});
    }
    auto tree = build_diagnostics_view(snapshot_with({p}, {}, {{"s", "S"}}), root.state);
    EXPECT_TRUE(contains_text(*tree, "Add paper to continue."));
    EXPECT_TRUE(contains_text(*tree, "Replace the empty supply to continue."));
    EXPECT_TRUE(contains_text(*tree, "A supply is running low; printing can usually continue for now."));
    EXPECT_FALSE(contains_text(*tree, "Close the printer cover."));
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::ProgressBar>(*tree).size(), 5U);  // first six, one unknown
    EXPECT_EQ(std::get<presswick::ShowDevice>(*root.press(*tree, "presswick.diagnostics.device")).name,
              "Studio_printer");
    EXPECT_TRUE(
        std::holds_alternative<presswick::OpenScan>(*root.press(*tree, "presswick.diagnostics.scan")));
    EXPECT_EQ(condition_advice("paper-JAM"), "Clear the paper jam, then resume the printer.");
    EXPECT_EQ(condition_advice("door-open-error"), "Close the printer cover.");
    EXPECT_EQ(condition_advice("printer-not-connected"), "Check that the printer is awake and connected.");
    EXPECT_EQ(condition_advice("spool-area-full"),
              "The printer reported a condition that may need attention.");
}

}  // namespace
}  // namespace views_test
