// The print queue and the print history.
#include "view_support.h"

namespace views_test {
namespace {

using namespace presswick::views;

std::vector<std::string> buttons_for_state(std::optional<printing::JobState> state) {
    Root root;
    auto tree =
        build_queue_view(snapshot_with({}, {job("a-1", state)}, {}), root.state, std::nullopt, std::nullopt);
    std::vector<std::string> labels;
    for (auto label : button_labels(*tree)) {
        if (label != "Presswick") {
            labels.push_back(label);
        }
    }
    return labels;
}

TEST(Queue, ButtonSetsPerState) {
    using L = std::vector<std::string>;
    EXPECT_EQ(buttons_for_state(std::nullopt), (L{"Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::unknown), (L{"Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::waiting), (L{"Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::in_progress), (L{"Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::needs_attention), (L{"Try again", "Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::canceled), (L{"Try again"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::not_printed), (L{"Try again", "Cancel"}));
    EXPECT_EQ(buttons_for_state(printing::JobState::printed), (L{}));
}

TEST(Queue, StateLabels) {
    Root root;
    auto tree = build_queue_view(
        snapshot_with({},
                      {job("a-0", printing::JobState::unknown), job("a-1", printing::JobState::waiting),
                       job("a-3", printing::JobState::needs_attention),
                       job("a-4", printing::JobState::canceled), job("a-5", printing::JobState::not_printed),
                       job("a-6", printing::JobState::printed), job("a-7", std::nullopt)},
                      {}),
        root.state, std::nullopt, std::nullopt);
    auto texts = collect_texts(*tree);
    EXPECT_EQ(count(texts, "In progress"), 2U);
    for (auto label : {"Waiting", "Needs attention", "Canceled", "Could not print", "Printed"}) {
        EXPECT_EQ(count(texts, label), 1U) << label;
    }
}

TEST(Queue, FailuresCarryThePrintersWordsAndWaitingSaysWhy) {
    Root root;
    auto stopped = job("Studio_printer-2", printing::JobState::not_printed);
    stopped.message = "Paper jam in tray 2";
    auto canceled = job("Studio_printer-3", printing::JobState::canceled);
    canceled.message = "Canceled by user";  // only a failure shows it
    auto not_accepting = printer("Office_laser");
    not_accepting.accepting = false;
    auto tree = build_queue_view(
        snapshot_with({printer("Studio_printer", printing::QueueState::paused), not_accepting},
                      {stopped, canceled, job("Studio_printer-5", printing::JobState::waiting),
                       job("Office_laser-6", printing::JobState::waiting, {}, {}, "Office_laser"),
                       job("Studio_printer-7", printing::JobState::in_progress)},
                      {}),
        root.state, std::nullopt, std::nullopt);
    const auto texts = collect_texts(*tree);
    EXPECT_EQ(count(texts, "Could not print"), 1U);
    EXPECT_EQ(count(texts, "Paper jam in tray 2"), 1U);
    EXPECT_EQ(count(texts, "Canceled by user"), 0U);
    EXPECT_EQ(count(texts, "Waiting: Studio printer is paused"), 1U);
    EXPECT_EQ(count(texts, "Waiting: Office laser is paused"), 1U);
    EXPECT_EQ(count(texts, "In progress"), 1U);  // a printing job is not "waiting"
}

TEST(Queue, SelectionConfirmsOnlyThatCard) {
    Root root;
    auto tree = build_queue_view(
        snapshot_with(
            {}, {job("a-1", printing::JobState::in_progress), job("a-2", printing::JobState::waiting)}, {}),
        root.state, std::string("a-2"), std::nullopt);
    auto cancels = buttons_with_id(*tree, "presswick.job.cancel");
    ASSERT_EQ(cancels.size(), 2U);
    EXPECT_EQ(cancels[0]->label(), "Cancel");
    EXPECT_EQ(cancels[1]->label(), "Confirm cancel");
    auto banners = kora_ui::testing::find_all<kora_ui::Banner>(*tree);
    ASSERT_EQ(banners.size(), 1U);
    EXPECT_EQ(banners[0]->style(), kora_ui::BannerStyle::caution);
    EXPECT_EQ(banners[0]->text(), "Cancel this document?");
    cancels[1]->press();
    auto op = root.state.operations_rx.try_recv();
    ASSERT_TRUE(op.value);
    EXPECT_EQ(std::get<presswick::CancelJob>(*op.value).id, "a-2");
    cancels[0]->press();
    EXPECT_EQ(std::get<presswick::SelectJob>(*root.state.operations_rx.try_recv().value).id, "a-1");
}

TEST(Queue, ShowsAtMost24InACardGrid) {
    std::vector<printing::PrintJob> jobs;
    for (int i = 0; i < 30; ++i) {
        jobs.push_back(
            job("q-" + std::to_string(i), printing::JobState::waiting, std::nullopt, 3, "Office_laser"));
    }
    Root root;
    auto tree = build_queue_view(snapshot_with({}, jobs, {}), root.state, std::nullopt, std::nullopt);
    auto grids = kora_ui::testing::find_all<kora_ui::CardGrid>(*tree);
    ASSERT_EQ(grids.size(), 1U);
    EXPECT_EQ(grids[0]->children().size(), 24U);
    EXPECT_EQ(grids[0]->min_column_width(), 330.0F);
    EXPECT_EQ(grids[0]->max_card_width(), 420.0F);
    EXPECT_TRUE(contains_text(*tree, "q-23.pdf"));
    EXPECT_FALSE(contains_text(*tree, "q-24.pdf"));
    EXPECT_EQ(count(collect_texts(*tree), "Sent to Office laser"), 24U);
}

TEST(Queue, FailedSectionShowsBannerAndNothingWaiting) {
    Root root;
    presswick::DeviceSnapshot failed{std::vector<printing::PrintQueue>{}, std::unexpected("x"),
                                     std::vector<printing::Scanner>{}};
    auto tree = build_queue_view(failed, root.state, std::nullopt, std::nullopt);
    EXPECT_TRUE(contains_text(*tree, "Print jobs couldn't be checked"));
    EXPECT_TRUE(contains_text(*tree, "Nothing waiting"));
    auto retry = root.press(*tree, "presswick.job.retry");
    EXPECT_FALSE(retry);
}

TEST(Queue, RetrySendsTheId) {
    Root root;
    auto tree = build_queue_view(snapshot_with({}, {job("x-9", printing::JobState::not_printed)}, {}),
                                 root.state, std::nullopt, std::nullopt);
    EXPECT_EQ(std::get<presswick::RetryJob>(*root.press(*tree, "presswick.job.retry")).id, "x-9");
}

TEST(History, OnlyFinishedWithOutcomeAndPageTexts) {
    Root root;
    auto tree = build_history_view(snapshot_with({},
                                                 {job("h-1", printing::JobState::in_progress),
                                                  job("h-2", printing::JobState::printed, 1, 1),
                                                  job("h-3", printing::JobState::not_printed, 0, 0),
                                                  job("h-4", printing::JobState::canceled, std::nullopt, 12),
                                                  job("h-5", printing::JobState::printed)},
                                                 {}),
                                   root.state);
    auto texts = collect_texts(*tree);
    EXPECT_FALSE(contains_text(*tree, "h-1.pdf"));
    EXPECT_EQ(count(texts, "1 page, sent to Studio printer, today"), 1U);
    EXPECT_EQ(count(texts, "0 pages, sent to Studio printer, today"), 1U);
    EXPECT_EQ(count(texts, "12 pages, sent to Studio printer, today"), 1U);
    EXPECT_EQ(count(texts, "Page count unavailable, sent to Studio printer, today"), 1U);
    EXPECT_EQ(count(texts, "Did not print"), 1U);
    EXPECT_EQ(count(texts, "Canceled"), 1U);
    EXPECT_EQ(count(texts, "Printed"), 2U);
    auto previews = kora_ui::testing::find_all<kora_ui::PagePreview>(*tree);
    ASSERT_EQ(previews.size(), 4U);
    EXPECT_EQ(previews[1]->page(), 1U);  // 0 pages reported: page 1 of 1
    EXPECT_EQ(previews[1]->total(), 1U);
    EXPECT_EQ(previews[2]->page(), 12U);
    EXPECT_EQ(previews[2]->total(), 12U);
    auto op = root.press(*tree, "presswick.history.repeat.h-4");
    EXPECT_EQ(std::get<presswick::RetryJob>(*op).id, "h-4");
}

TEST(History, PageCountsAreTheDocumentsNotTimesCopies) {
    Root root;
    auto twice = job("Studio_printer-8", printing::JobState::printed, 24, 24);
    twice.copies = 2;
    auto tree = build_history_view(snapshot_with({}, {twice}, {}), root.state);
    const auto texts = collect_texts(*tree);
    EXPECT_EQ(count(texts, "12 pages, sent to Studio printer, today"), 1U) << testing::PrintToString(texts);
    auto previews = kora_ui::testing::find_all<kora_ui::PagePreview>(*tree);
    ASSERT_EQ(previews.size(), 1U);
    EXPECT_EQ(previews[0]->total(), 12U);
}

TEST(History, ShowsAtMost50) {
    std::vector<printing::PrintJob> jobs;
    for (int i = 0; i < 80; ++i) {
        jobs.push_back(job("h-" + std::to_string(i), printing::JobState::printed, 2, 2));
    }
    Root root;
    auto tree = build_history_view(snapshot_with({}, jobs, {}), root.state);
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::PagePreview>(*tree).size(), 50U);
    EXPECT_EQ(buttons_with_id(*tree, "presswick.history.repeat.h-49").size(), 1U);
    EXPECT_TRUE(buttons_with_id(*tree, "presswick.history.repeat.h-50").empty());
}

TEST(History, FailedSection) {
    Root root;
    presswick::DeviceSnapshot failed{std::vector<printing::PrintQueue>{}, std::unexpected("x"),
                                     std::vector<printing::Scanner>{}};
    auto tree = build_history_view(failed, root.state);
    EXPECT_TRUE(contains_text(*tree, "Print jobs couldn't be checked"));
    EXPECT_TRUE(contains_text(*tree, "No completed documents yet"));
}

}  // namespace
}  // namespace views_test
