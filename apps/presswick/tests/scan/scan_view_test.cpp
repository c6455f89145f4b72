// The scan view: the setup page and the result page as the user sees them.
#include <gtest/gtest.h>

#include "kora_ui/testing.h"
#include "scan_support.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace presswick::views {
namespace {

namespace testing = kora_ui::testing;
using os_actions::printing::Scanner;

DeviceSnapshot snapshot_with(Section<Scanner> scanners) {
    return {std::vector<os_actions::printing::PrintQueue>{}, std::vector<os_actions::printing::PrintJob>{},
            std::move(scanners)};
}

std::vector<std::string> button_ids(const kora_ui::Widget& root) {
    std::vector<std::string> ids;
    for (auto* button : testing::find_all<kora_ui::Button>(root)) {
        ids.emplace_back(button->control_id());
    }
    return ids;
}

std::vector<std::string> ids_starting(const kora_ui::Widget& root, std::string_view prefix) {
    std::vector<std::string> ids;
    for (auto& id : button_ids(root)) {
        if (id.starts_with(prefix)) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::unique_ptr<Presswick> state_with_pages(std::size_t count, std::uint64_t index) {
    auto state = std::make_unique<Presswick>(kora_ui::boxed(kora_ui::Column()));
    for (std::size_t i = 0; i < count; ++i) {
        state->pages.push_back(scan_test::pattern_page(30, 20));
    }
    state->current_index = index;
    state->current_page = state->pages.at(index);
    return state;
}

TEST(ScanSetupPage, LaysOutScannerSettingsAndStart) {
    Presswick state(kora_ui::boxed(kora_ui::Column()));
    state.scan_scanner = "test:1";
    auto view = build_scan_view(
        snapshot_with(std::vector<Scanner>{{"test:0", "Flatbed A"}, {"test:1", "Flatbed B"}}), state);
    EXPECT_TRUE(testing::contains_text(*view, "Scan a document"));
    EXPECT_TRUE(testing::contains_text(*view, "Choose the scanner and how this page should look"));
    EXPECT_TRUE(testing::contains_text(*view, "No pages captured yet"));
    EXPECT_EQ(testing::find_buttons_by_label(*view, "Flatbed A").size(), 1u);
    EXPECT_EQ(testing::find_buttons_by_label(*view, "Selected: Flatbed B").size(), 1u);
    EXPECT_EQ(testing::find_by_control_id(*view, "presswick.scan.device").size(), 2u);
    EXPECT_EQ(testing::find_buttons_by_label(*view, "Scan page").size(), 1u);
    EXPECT_EQ(testing::find_buttons_by_label(*view, "Cancel").size(), 1u);

    auto groups = testing::find_all<kora_ui::ToggleGroup>(*view);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0]->control_id(), "presswick.scan.resolution");
    EXPECT_EQ(groups[0]->select_action_id(), "presswick.scan.resolution.select");
    EXPECT_EQ(groups[0]->options(), (std::vector<std::string>{"150 dpi", "300 dpi", "600 dpi"}));
    EXPECT_TRUE(groups[0]->selected().same_cell(state.scan_resolution));
    EXPECT_EQ(groups[1]->control_id(), "presswick.scan.color");
    EXPECT_EQ(groups[1]->options(), (std::vector<std::string>{"Color", "Grayscale", "Text"}));
    EXPECT_TRUE(groups[1]->selected().same_cell(state.scan_colour));
    EXPECT_EQ(groups[2]->control_id(), "presswick.scan.source");
    EXPECT_EQ(groups[2]->options(), (std::vector<std::string>{"Flatbed", "Feeder", "Two-sided"}));
    EXPECT_TRUE(groups[2]->selected().same_cell(state.scan_source));
    EXPECT_EQ(groups[3]->control_id(), "presswick.scan.language");
    EXPECT_EQ(groups[3]->select_action_id(), "presswick.scan.language.select");
    EXPECT_EQ(groups[3]->options(), (std::vector<std::string>{"English", "Deutsch", "Français", "Español"}));
    EXPECT_TRUE(groups[3]->selected().same_cell(state.scan_language));
    groups[3]->select(2);
    EXPECT_EQ(state.scan_language.get(), 2u);
}

// The text language starts at the desktop's, read the way gettext reads it.
TEST(ScanSetupPage, TextLanguageStartsAtTheDesktopsLanguage) {
    EXPECT_EQ(RecognitionLanguage::index_for_locale("", "de_DE.UTF-8"), 1U);
    EXPECT_EQ(RecognitionLanguage::index_for_locale("fr:de", "en_US.UTF-8"), 2U);  // LANGUAGE first
    EXPECT_EQ(RecognitionLanguage::index_for_locale("es_MX", "C.UTF-8"), 3U);
    EXPECT_EQ(RecognitionLanguage::index_for_locale("de", "C"), 0U);  // gettext ignores LANGUAGE under C
    EXPECT_EQ(RecognitionLanguage::index_for_locale("", "POSIX"), 0U);
    EXPECT_EQ(RecognitionLanguage::index_for_locale("", "it_IT.UTF-8"), 0U);  // not one of the four
    EXPECT_EQ(RecognitionLanguage::index_for_locale("", "des_XX"), 0U);  // a language that only begins so
    EXPECT_EQ(RecognitionLanguage::index_for_locale("", "fr_CA@euro"), 2U);
}

TEST(ScanSetupPage, OnlyTheSourcesTheScannerHasCanBeChosen) {
    Presswick state(kora_ui::boxed(kora_ui::Column()));
    Scanner flatbed{"test:0", "Flatbed only"};
    flatbed.has_feeder = false;
    flatbed.has_two_sided = false;
    Scanner one_sided{"test:1", "Feeder"};
    one_sided.has_two_sided = false;
    const auto source_group = [](const kora_ui::Widget& view) {
        return testing::find_all<kora_ui::ToggleGroup>(view).at(2);
    };
    state.scan_scanner = "test:0";
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{flatbed, one_sided}), state);
    EXPECT_TRUE(source_group(*view)->enabled(0));
    EXPECT_FALSE(source_group(*view)->enabled(1));
    EXPECT_FALSE(source_group(*view)->enabled(2));
    EXPECT_TRUE(testing::contains_text(*view, "This scanner has no document feeder"));
    EXPECT_TRUE(testing::contains_text(*view, "This scanner cannot scan both sides"));
    state.scan_scanner = "test:1";
    view = build_scan_view(snapshot_with(std::vector<Scanner>{flatbed, one_sided}), state);
    EXPECT_TRUE(source_group(*view)->enabled(1));
    EXPECT_FALSE(source_group(*view)->enabled(2));
    EXPECT_FALSE(testing::contains_text(*view, "This scanner has no document feeder"));
    EXPECT_TRUE(testing::contains_text(*view, "This scanner cannot scan both sides"));
    // A scanner whose sources are not known offers all three.
    state.scan_scanner = "test:2";
    view = build_scan_view(snapshot_with(std::vector<Scanner>{{"test:2", "Unknown"}}), state);
    EXPECT_TRUE(source_group(*view)->enabled(1));
    EXPECT_TRUE(source_group(*view)->enabled(2));
}

TEST(ScanSetupPage, WithoutAChosenScannerOnlyCancel) {
    Presswick state(kora_ui::boxed(kora_ui::Column()));
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), state);
    EXPECT_EQ(ids_starting(*view, "presswick.scan."), (std::vector<std::string>{"presswick.scan.cancel"}));
    EXPECT_TRUE(testing::contains_text(
        *view, "No scanner is available. Check its cable or network connection, then refresh Presswick."));
}

TEST(ScanSetupPage, WhileScanningShowsTheRunningLine) {
    Presswick state(kora_ui::boxed(kora_ui::Column()));
    state.scan_scanner = "test:0";
    state.scanning = true;
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{{"test:0", "Flatbed"}}), state);
    EXPECT_TRUE(testing::contains_text(*view, "Scanning page…"));
    EXPECT_TRUE(testing::find_by_control_id(*view, "presswick.scan.start").empty());
}

TEST(ScanSetupPage, FailedScannersShowTheServiceProblem) {
    Presswick state(kora_ui::boxed(kora_ui::Column()));
    auto view = build_scan_view(snapshot_with(std::unexpected(std::string("down"))), state);
    EXPECT_TRUE(testing::contains_text(*view, "Scanners couldn't be checked"));
    EXPECT_EQ(testing::find_by_control_id(*view, "presswick.service.retry").size(), 1u);
}

TEST(ScanSetupPage, CapturedPagesAreCountedSingularAndPlural) {
    auto state = state_with_pages(1, 0);
    state->current_page.reset();
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "1 page captured — new scans will be added"));
    state = state_with_pages(2, 0);
    state->current_page.reset();
    view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "2 pages captured — new scans will be added"));
}

// What pressing the button with this id posts, by its variant index; -1 when nothing was posted.
int posted_by(const kora_ui::Widget& view, Presswick& state, std::string_view id) {
    if (!testing::press(view, id)) {
        return -2;
    }
    auto got = state.operations_rx.try_recv();
    return got.value ? static_cast<int>(got.value->index()) : -1;
}

TEST(ScanSetupPage, WithPagesCapturedTheyAreOnePressAway) {
    auto state = state_with_pages(2, 1);
    state->current_page.reset();
    state->document_version = 2;  // never saved
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    ASSERT_EQ(testing::find_buttons_by_label(*view, "Back to the pages").size(), 1u);
    const auto shows_pages = static_cast<int>(Operation(ShowPages{}).index());
    EXPECT_EQ(posted_by(*view, *state, "presswick.scan.pages"), shows_pages);
    EXPECT_EQ(posted_by(*view, *state, "presswick.scan.cancel"), shows_pages) << "unsaved pages come back";
    // Once saved, Cancel leaves as it always did; the way back stays.
    state->saved_version = 2;
    view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_EQ(posted_by(*view, *state, "presswick.scan.cancel"),
              static_cast<int>(Operation(CloseScan{}).index()));
    EXPECT_EQ(testing::find_by_control_id(*view, "presswick.scan.pages").size(), 1u);
    // No pages, no way back.
    Presswick empty(kora_ui::boxed(kora_ui::Column()));
    view = build_scan_view(snapshot_with(std::vector<Scanner>{}), empty);
    EXPECT_TRUE(testing::find_by_control_id(*view, "presswick.scan.pages").empty());
    EXPECT_EQ(posted_by(*view, empty, "presswick.scan.cancel"),
              static_cast<int>(Operation(CloseScan{}).index()));
}

TEST(ScanResultPage, SinglePage) {
    auto state = state_with_pages(1, 0);
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "Scanned document"));
    EXPECT_TRUE(testing::contains_text(*view, "Review the page before saving it"));
    EXPECT_TRUE(testing::contains_text(*view, "Page 1 of 1"));
    EXPECT_TRUE(testing::contains_text(*view, "Landscape page"));
    EXPECT_TRUE(testing::contains_text(*view, "Reading text as English"));
    EXPECT_TRUE(testing::contains_text(*view, "Page 1 selected · 1 page total"));
    EXPECT_TRUE(testing::contains_text(*view, "Recognized text"));
    EXPECT_EQ(ids_starting(*view, "presswick.scan."),
              (std::vector<std::string>{"presswick.scan.save-document", "presswick.scan.print",
                                        "presswick.scan.again", "presswick.scan.rotate-left",
                                        "presswick.scan.rotate", "presswick.scan.apply-crop",
                                        "presswick.scan.copy-text", "presswick.scan.delete-page",
                                        "presswick.scan.save-page", "presswick.scan.done"}));
    auto editors = testing::find_all<kora_ui::ImageCropEditor>(*view);
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_TRUE(editors[0]->selection().same_cell(state->crop_selection));
    EXPECT_EQ(editors[0]->rgba(), state->current_page->pixels);
    EXPECT_EQ(editors[0]->width(), 30u);
}

TEST(ScanResultPage, NavigationAtFirstMiddleAndLast) {
    auto nav = [](std::uint64_t index) {
        auto state = state_with_pages(3, index);
        auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
        std::vector<std::string> labels;
        for (auto* button : testing::find_all<kora_ui::Button>(*view)) {
            const auto id = button->control_id();
            if (id == "presswick.scan.previous" || id == "presswick.scan.next" ||
                id.starts_with("presswick.scan.move") || id == "presswick.scan.delete-page") {
                labels.push_back(button->label());
            }
        }
        return labels;
    };
    using L = std::vector<std::string>;
    EXPECT_EQ(nav(0), (L{"Next page", "Move after next page", "Remove this page"}));
    EXPECT_EQ(nav(1), (L{"Previous page", "Next page", "Move before previous page", "Move after next page",
                         "Remove this page"}));
    EXPECT_EQ(nav(2), (L{"Previous page", "Move before previous page", "Remove this page"}));
    auto state = state_with_pages(3, 2);
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "Page 3 selected · 3 pages total"));
    EXPECT_TRUE(testing::contains_text(*view, "Page 3 of 3"));
}

// Controls that remove or reorder pages say so, and the page's crop editor says it is what the page
// shows: the host keeps the keyboard's focus off the former and puts it on the latter after them.
TEST(ScanResultPage, PageStripSaysWhatIsDestructive) {
    auto state = state_with_pages(3, 1);
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    std::vector<std::string> destructive;
    for (auto* button : testing::find_all<kora_ui::Button>(*view)) {
        if (button->meaning() == kora_ui::Meaning::destructive) {
            destructive.emplace_back(button->control_id());
        }
    }
    EXPECT_EQ(destructive,
              (std::vector<std::string>{"presswick.scan.move-earlier", "presswick.scan.move-later",
                                        "presswick.scan.delete-page"}));
    const auto editors = testing::find_all<kora_ui::ImageCropEditor>(*view);
    ASSERT_EQ(editors.size(), 1U);
    EXPECT_EQ(editors[0]->meaning(), kora_ui::Meaning::main);
}

TEST(ScanResultPage, RecognitionStates) {
    auto state = state_with_pages(1, 0);
    state->current_page->text = "   \n ";
    state->current_page->text_stale = true;
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_FALSE(testing::contains_text(*view, "Recognized text"));
    EXPECT_TRUE(testing::find_by_control_id(*view, "presswick.scan.copy-text").empty());
    EXPECT_EQ(testing::find_buttons_by_label(*view, "Update recognized text").size(), 1u);

    state->current_page->recognizing = true;
    view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "Updating recognized text…"));
    EXPECT_TRUE(testing::find_by_control_id(*view, "presswick.scan.recognize").empty());
}

TEST(ScanResultPage, LongTextIsCutTo320Characters) {
    auto state = state_with_pages(1, 0);
    state->current_page->text = std::string(300, 'a') + std::string(40, 'b');
    state->current_page->height = 40;  // portrait
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, std::string(300, 'a') + std::string(20, 'b')));
    EXPECT_TRUE(testing::contains_text(*view, "Portrait page"));
}

TEST(ScanResultPage, NoticeIsShown) {
    auto state = state_with_pages(1, 0);
    state->notice = Notice{"Could not rotate this page", "scanned page pixels were incomplete", false};
    auto view = build_scan_view(snapshot_with(std::vector<Scanner>{}), *state);
    EXPECT_TRUE(testing::contains_text(*view, "Could not rotate this page"));
}

}  // namespace
}  // namespace presswick::views
