// Print flow with what the printer offers: options read when a printer is chosen, defaults, choices that
// survive a change of printer, the job's options, pages that hold the job back, and the preview's pages.
#include <fstream>

#include <unistd.h>

#include "harness.h"

namespace presswick::testing {
namespace {

printing::PrinterOptions colour_offers() {
    printing::PrinterOptions offers;
    offers.page_ranges = true;
    offers.papers = {{"iso_a4_210x297mm", "A4"}, {"na_letter_8.5x11in", "Letter"}};
    offers.paper_default = "na_letter_8.5x11in";
    offers.orientations = {printing::Orientation::portrait, printing::Orientation::landscape};
    offers.color_modes = {printing::ColorMode::color, printing::ColorMode::monochrome};
    offers.color_default = printing::ColorMode::color;
    offers.qualities = {printing::PrintQuality::draft, printing::PrintQuality::normal,
                        printing::PrintQuality::high};
    offers.quality_default = printing::PrintQuality::high;
    offers.two_sided = true;
    offers.two_sided_default = true;
    return offers;
}

// A monochrome laser that prints on one side only and knows A4 and Legal.
printing::PrinterOptions laser_offers() {
    printing::PrinterOptions offers;
    offers.page_ranges = true;
    offers.papers = {{"iso_a4_210x297mm", "A4"}, {"na_legal_8.5x14in", "Legal"}};
    offers.paper_default = "na_legal_8.5x14in";
    offers.orientations = {printing::Orientation::portrait, printing::Orientation::landscape};
    return offers;
}

class PrintOptionsFlow : public ExecutorTest {
  protected:
    void SetUp() override {
        ExecutorTest::SetUp();
        answers.queues = std::vector{queue("Office_laser"), queue("Studio_printer", true)};
        answers.printer_options = {{"Studio_printer", colour_offers()}, {"Office_laser", laser_offers()}};
        m_document = std::filesystem::temp_directory_path() /
                     ("presswick-options-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".pdf");
        std::ofstream(m_document) << "%PDF-1.4 a document";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(m_document, ignored);
        ExecutorTest::TearDown();
    }
    // A dialog on the document with the preferred printer's options read.
    std::unique_ptr<Presswick> dialog() {
        auto state = loaded_root();
        picker->answer_path(m_document);
        surface::execute(*state, ChooseDocument{});
        EXPECT_TRUE(pump_until(*state, [&] { return state->print_options.has_value(); }));
        settle(*state);
        return state;
    }
    std::string print_call(Presswick& state) {
        service->clear_calls();
        surface::execute(state, PrintDocument{});
        EXPECT_TRUE(pump_until(state, [&] { return state.notice.has_value(); }));
        for (const auto& call : service_calls()) {
            if (call.starts_with("print_document(")) {
                return call;
            }
        }
        return {};
    }
    std::filesystem::path m_document;
};

TEST_F(PrintOptionsFlow, ReadForTheChosenPrinterStartingAtItsDefaults) {
    auto state = dialog();
    EXPECT_EQ(spawned_count("kora-printer-options"), 1);
    EXPECT_EQ(state->print_options->queue, "Studio_printer");
    EXPECT_EQ(state->print_paper.get(), "na_letter_8.5x11in");
    EXPECT_EQ(state->print_quality.get(), 2U) << "Best, the printer's default";
    EXPECT_TRUE(state->two_sided.get()) << "the printer's sides default";
    EXPECT_FALSE(shows(*state, "Pages per sheet")) << "this printer offers no choice of it";
    EXPECT_TRUE(shows(*state, "Quality"));
    EXPECT_EQ(print_call(*state), "print_document(Studio_printer," + m_document.string() +
                                      ",1,true) media=na_letter_8.5x11in orientation-requested=3 "
                                      "print-color-mode=color print-quality=5");
}

TEST_F(PrintOptionsFlow, ChoicesReachTheJob) {
    auto state = dialog();
    (void)state->print_pages.write_from_control("2-3");
    (void)state->print_colour.write_from_control(1);
    (void)state->print_orientation.write_from_control(1);
    (void)state->two_sided.write_from_control(false);
    EXPECT_EQ(print_call(*state), "print_document(Studio_printer," + m_document.string() +
                                      ",1,false) page-ranges=2-3 media=na_letter_8.5x11in "
                                      "orientation-requested=4 print-color-mode=monochrome print-quality=5");
}

TEST_F(PrintOptionsFlow, AnotherPrinterKeepsWhatItAlsoOffers) {
    auto state = dialog();
    (void)state->print_paper.write_from_control("iso_a4_210x297mm");
    (void)state->print_orientation.write_from_control(1);
    (void)state->print_colour.write_from_control(1);
    surface::execute(*state, ChoosePrintPrinter{"Office_laser"});
    ASSERT_TRUE(pump_until(*state, [&] { return state->print_options->queue == "Office_laser"; }));
    EXPECT_EQ(state->print_paper.get(), "iso_a4_210x297mm") << "the laser has A4 too";
    EXPECT_EQ(state->print_orientation.get(), 1U);
    EXPECT_FALSE(state->two_sided.get()) << "one side only";
    EXPECT_FALSE(shows(*state, "Color"));
    EXPECT_TRUE(shows(*state, "This printer prints on one side only"));
    EXPECT_EQ(print_call(*state), "print_document(Office_laser," + m_document.string() +
                                      ",1,false) media=iso_a4_210x297mm orientation-requested=4");
}

TEST_F(PrintOptionsFlow, OptionsForAPrinterNoLongerChosenAreDropped) {
    auto state = dialog();
    surface::execute(*state, ChoosePrintPrinter{"Office_laser"});
    surface::execute(*state, PrinterOptionsRead{"Studio_printer", colour_offers()});
    EXPECT_EQ(state->print_options->queue, "Studio_printer") << "still the old ones, not taken anew";
    surface::execute(*state, PrinterOptionsRead{"Office_laser", std::unexpected(std::string("gone"))});
    EXPECT_FALSE(state->print_options.has_value()) << "unknown offers: the two rows only";
    EXPECT_TRUE(shows(*state, "Print on both sides"));
    EXPECT_FALSE(shows(*state, "Paper"));
}

TEST_F(PrintOptionsFlow, PagesThatDoNotDoHoldTheJobBack) {
    auto state = dialog();
    (void)state->print_pages.write_from_control("3-1");
    surface::execute(*state, PrintDocument{});
    EXPECT_TRUE(state->print_document.has_value()) << "the dialog stays with its document";
    EXPECT_EQ(spawned_count("kora-print-document"), 0);
    // Typing rebuilds the dialog on the next update, which says what is wrong.
    ASSERT_TRUE(pump_until(*state, [&] { return shows(*state, "Enter pages such as 1-3, 5, 8-"); }));
}

TEST_F(PrintOptionsFlow, CancelAndANewDocumentResetToTheDefaults) {
    auto state = dialog();
    (void)state->print_colour.write_from_control(1);
    (void)state->print_pages.write_from_control("2");
    surface::execute(*state, CancelPrint{});
    EXPECT_FALSE(state->print_options.has_value());
    EXPECT_EQ(state->print_pages.get(), "");
    EXPECT_EQ(state->print_colour.get(), 0U);
    picker->answer_path(m_document);
    surface::execute(*state, ChooseDocument{});
    ASSERT_TRUE(pump_until(*state, [&] { return state->print_options.has_value(); }));
    EXPECT_EQ(state->print_paper.get(), "na_letter_8.5x11in");
}

TEST_F(PrintOptionsFlow, PreviewTurnsWithinTheDocument) {
    auto state = dialog();
    auto image = PreviewImage{std::make_shared<const std::vector<std::uint8_t>>(4 * 4, 255), 2, 2, 4, 1};
    state->preview = PrintPreview::ready(image);
    state->preview_rx.reset();
    surface::execute(*state, TurnPreviewPage{1});
    EXPECT_EQ(state->preview_page, 2U);
    EXPECT_TRUE(state->preview_rx.has_value()) << "page 2 is being drawn";
    EXPECT_EQ(state->preview.kind, PrintPreview::Kind::ready) << "the last page stays meanwhile";
    EXPECT_TRUE(shows(*state, "Page 2 of 4"));
    surface::execute(*state, TurnPreviewPage{9});
    EXPECT_EQ(state->preview_page, 4U);
    const auto drawing = spawned_count("kora-print-preview");
    surface::execute(*state, TurnPreviewPage{1});
    EXPECT_EQ(spawned_count("kora-print-preview"), drawing) << "past the last page nothing is drawn";
    surface::execute(*state, TurnPreviewPage{-10});
    EXPECT_EQ(state->preview_page, 1U);
}

}  // namespace
}  // namespace presswick::testing
