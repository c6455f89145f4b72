// The toolkit core: publication rule, picker result kinds, channels, tree walking and pressing.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>
#include <string_view>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "kora_ui/channel.h"
#include "kora_ui/controls.h"
#include "kora_ui/picker.h"
#include "kora_ui/runtime_dir.h"
#include "kora_ui/testing.h"
#include "kora_ui/text_input.h"
#include "kora_ui/theme.h"
#include "kora_ui/thread.h"
#include "kora_ui/widgets.h"

using namespace kora_ui;

TEST(Publication, RefusedAuthorizationWritesNothing) {
    WakeHandle wake;
    LocalState<double> cell(1.0, wake);
    wake.revoke();
    EXPECT_FALSE(cell.publish(5.0));
    EXPECT_EQ(cell.get(), 1.0);
    EXPECT_EQ(cell.version(), 0u);
}

TEST(Publication, VersionAtMaximumStoresNothing) {
    LocalState<bool> cell(false);
    cell.set_version_for_testing(std::numeric_limits<std::uint64_t>::max());
    EXPECT_FALSE(cell.publish(true));
    EXPECT_FALSE(cell.get());
}

TEST(Publication, AllowedPublicationStoresAndCounts) {
    LocalState<double> cell(1.0);
    EXPECT_TRUE(cell.publish(3.0));
    EXPECT_EQ(cell.get(), 3.0);
    EXPECT_EQ(cell.version(), 1u);
}

namespace {
class Scripted final : public PickerBackend {
  public:
    explicit Scripted(PickOutcome outcome) : m_outcome(std::move(outcome)) {}
    PickOutcome pick(const PickRequest&) override { return m_outcome; }

  private:
    PickOutcome m_outcome;
};

PickPoll wait_for(PendingPick& pending) {
    for (int i = 0; i < 500; ++i) {
        auto poll = pending.try_take();
        if (poll.kind != PickPoll::Kind::pending) {
            return poll;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return {};
}
}  // namespace

TEST(Picker, ResultKinds) {
    auto request = PickRequest::open("Choose", "Open").all_files().thread_name("test-picker");
    set_picker_backend(std::make_shared<Scripted>(PickOutcome{PickOutcome::Kind::path, "/tmp/a.pdf", {}}));
    auto pending = request.send();
    auto got = wait_for(pending);
    EXPECT_EQ(got.kind, PickPoll::Kind::path);
    EXPECT_EQ(got.path, "/tmp/a.pdf");

    set_picker_backend(std::make_shared<Scripted>(PickOutcome{PickOutcome::Kind::cancelled, {}, {}}));
    auto cancelled = request.send();
    EXPECT_EQ(wait_for(cancelled).kind, PickPoll::Kind::cancelled);

    set_picker_backend(std::make_shared<Scripted>(PickOutcome{PickOutcome::Kind::failed, {}, "broken"}));
    auto failed = request.send();
    auto failure = wait_for(failed);
    EXPECT_EQ(failure.kind, PickPoll::Kind::failed);
    EXPECT_EQ(failure.message, "broken");
    set_picker_backend(nullptr);
}

TEST(Picker, ThreadThatCannotStartIsDisconnected) {
    std::string seen;
    set_spawn_hook([&seen](std::string_view name) {
        seen = name;
        return false;
    });
    auto pending = PickRequest::save("Save", "Save").thread_name("presswick-save-picker").send();
    set_spawn_hook({});
    EXPECT_EQ(seen, "presswick-save-picker");
    EXPECT_EQ(pending.try_take().kind, PickPoll::Kind::disconnected);
}

TEST(Channel, ValuesInOrderThenDisconnected) {
    auto [tx, rx] = channel<int>();
    EXPECT_EQ(rx.try_recv().status, RecvStatus::empty);
    EXPECT_TRUE(tx.send(1));
    EXPECT_TRUE(tx.send(2));
    EXPECT_EQ(*rx.try_recv().value, 1);
    EXPECT_EQ(*rx.try_recv().value, 2);
    { auto gone = std::move(tx); }
    EXPECT_EQ(rx.try_recv().status, RecvStatus::disconnected);
}

TEST(Channel, SendToDroppedReceiverFailsAndWakeOnFirstValue) {
    int wakes = 0;
    set_channel_wake_hook([&wakes] { ++wakes; });
    auto pair = channel<int>();
    pair.first.send(1);
    pair.first.send(2);
    EXPECT_EQ(wakes, 1);
    { auto receiver = std::move(pair.second); }
    EXPECT_FALSE(pair.first.send(3));
    set_channel_wake_hook({});
}

TEST(Tree, WalkAndPress) {
    int pressed = 0;
    Column tree;
    tree.push(Text("Title", 28))
        .push(widget::card::surface("Card", std::nullopt,
                                    Column().push(Button("a.b", "Go").on_action([&] { ++pressed; }))))
        .push(Button("a.invoke", "Invoke").on_action(InvokeControlId{}))
        .push(ProgressBar::indeterminate().with_accessible_label("Loading"));
    EXPECT_TRUE(kora_ui::testing::contains_text(tree, "Card"));
    EXPECT_EQ(kora_ui::testing::find_by_type_name(tree, "kora_ui::Button").size(), 2u);
    EXPECT_EQ(kora_ui::testing::collect_accessible_labels(tree), std::vector<std::string>{"Loading"});
    EXPECT_TRUE(kora_ui::testing::press(tree, "a.b"));
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(kora_ui::testing::press(tree, "missing"));
    EXPECT_TRUE(kora_ui::testing::press(tree, "a.invoke"));
    auto invocation = tree.take_control_invocation();
    ASSERT_TRUE(invocation);
    EXPECT_EQ(invocation->control_id, "a.invoke");
    EXPECT_FALSE(tree.take_control_invocation());
}

// The icon table is the one place a code meets its glyph and spoken name: each code once, each glyph once,
// and a code outside it has no row (the host then draws nothing and says "Icon").
TEST(Icons, OneRowPerCodeAndGlyph) {
    std::set<int> codes;
    std::set<std::string_view> glyphs;
    for (const auto& entry : kIcons) {
        EXPECT_TRUE(codes.insert(static_cast<int>(entry.icon)).second) << entry.glyph;
        EXPECT_TRUE(glyphs.insert(entry.glyph).second) << entry.glyph;
        EXPECT_TRUE(entry.glyph.ends_with("-symbolic")) << entry.glyph;
        EXPECT_EQ(icon_entry(entry.icon), &entry);
    }
    EXPECT_EQ(icon_entry(Icon::back)->glyph, "go-previous-symbolic");
    EXPECT_EQ(icon_entry(Icon::preview_missing)->spoken, "No preview");
    EXPECT_EQ(icon_entry(static_cast<Icon>(12345)), nullptr);
}

// A widget says what it is for; texts and buttons that say nothing follow the toolkit's own rules
// (the type scale, the back glyph), and saying `none` overrides them.
TEST(Meaning, SaidOrByTheKindsOwnRule) {
    EXPECT_EQ(Text("Title", 28).meaning(), Meaning::page_title);
    EXPECT_EQ(Text("Section", 16).meaning(), Meaning::heading);
    EXPECT_EQ(Text("Body", 14).meaning(), Meaning::none);
    EXPECT_EQ(said(Text("Big but plain", 30), Meaning::none).meaning(), Meaning::none);
    EXPECT_EQ(Text("Styled", TextStyle{14, Meaning::heading}).meaning(), Meaning::heading);
    EXPECT_EQ(Text("Styled", TextStyle{14, Meaning::heading}).size(), 14.0F);
    EXPECT_EQ(Button("b", "Back").with_icon(Icon::back).meaning(), Meaning::back);
    EXPECT_EQ(Button("b", "Open").with_icon(Icon::open).meaning(), Meaning::none);
    EXPECT_EQ(said(Button("b", "Remove"), Meaning::destructive).meaning(), Meaning::destructive);
    const auto card = said_card(Column().push(Text("x", 14)), "Studio printer", "Studio printer");
    EXPECT_EQ(card.meaning(), Meaning::card);
    EXPECT_EQ(card.said_title(), "Studio printer");
    EXPECT_EQ(card.said_subject(), "Studio printer");
    EXPECT_EQ(card.children().size(), 1U) << "saying keeps what the widget holds";
}

TEST(Controls, ResourcesAndInvocation) {
    int pressed = 0;
    LocalState<std::size_t> selected(0);
    Column tree;
    tree.push(Button("c.go", "Go").on_action([&] { ++pressed; }))
        .push(ToggleGroup("c.mode", "select", {"One", "Two"}, selected));
    EXPECT_EQ(control_resources(tree).size(), 2u);
    EXPECT_EQ(invoke_control(tree, 0, kControlInvokeOperation, "\"c.go\"").kind,
              kora_actions::Outcome::Kind::handled);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(invoke_control(tree, 0, kSegmentedSelectOperation, R"({"control":"c.mode","index":1})").kind,
              kora_actions::Outcome::Kind::handled);
    EXPECT_EQ(selected.get(), 1u);
    EXPECT_NE(invoke_control(tree, 0, kSegmentedSelectOperation, R"({"control":"c.mode","index":5})").kind,
              kora_actions::Outcome::Kind::handled);
    EXPECT_EQ(invoke_control(tree, 0, "other", "{}").kind, kora_actions::Outcome::Kind::not_handled);
    // A caller's long name is echoed cut at 200 bytes, on a character boundary.
    const std::string long_id = "c." + std::string(1 << 20, 'x');
    const auto missing = invoke_control(tree, 0, kControlInvokeOperation, nlohmann::json(long_id).dump());
    EXPECT_EQ(missing.message, "no control c." + std::string(198, 'x') + "… is shown");
    const std::string wide = std::string(199, 'a') + "é" + "tail";  // é spans bytes 199 and 200
    EXPECT_EQ(kora_actions::echoed(wide), std::string(199, 'a') + "…");
    EXPECT_EQ(kora_actions::echoed("short"), "short");
}

TEST(Controls, TextInputWritesItsCellAndIsAResource) {
    LocalState<std::string> pages(std::string("1"));
    Column tree;
    tree.push(TextInput::from_state(pages).with_id("c.pages").with_accessible_label("Pages to print"))
        .push(TextInput::from_state(LocalState<std::string>(std::string())));  // no id: no resource
    const auto resources = control_resources(tree);
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].id, "kora.control:c.pages");
    EXPECT_EQ(resources[0].kind, "kora.control.text");
    EXPECT_EQ(resources[0].title, "Pages to print");
    ASSERT_EQ(resources[0].actions.size(), 1u);
    EXPECT_EQ(resources[0].actions[0].id, "set");
    EXPECT_EQ(resources[0].actions[0].operation_id, kTextSetOperation);
    ASSERT_EQ(resources[0].actions[0].params.size(), 1u);
    EXPECT_EQ(resources[0].actions[0].params[0].type, kora_actions::ParamType::string);

    const auto before = pages.version();
    auto* input = kora_ui::testing::find_all<TextInput>(tree).at(0);
    input->enter("1");
    EXPECT_EQ(pages.version(), before) << "the same text is no change";
    input->enter("2-3, 5");
    EXPECT_EQ(pages.get(), "2-3, 5");
    input->enter(std::string(TextInput::kMaxLength - 1, 'x') + "\xc3\xa9");  // é across the limit
    EXPECT_EQ(pages.get(), std::string(TextInput::kMaxLength - 1, 'x')) << "never half a character";

    EXPECT_EQ(invoke_control(tree, 0, kTextSetOperation, R"({"control":"c.pages","text":"8-"})").kind,
              kora_actions::Outcome::Kind::handled);
    EXPECT_EQ(pages.get(), "8-");
    for (const char* bad : {R"({"control":"c.pages"})", R"({"control":"c.pages","text":3})", R"("c.pages")",
                            R"({"control":"c.none","text":"1"})", "not json"}) {
        EXPECT_EQ(invoke_control(tree, 0, kTextSetOperation, bad).kind, kora_actions::Outcome::Kind::failed)
            << bad;
    }
    EXPECT_EQ(pages.get(), "8-");
}

// Every way a crop changes keeps it inside the page, ordered and at least the minimum span.
TEST(CropSelection, DragsStayInsideThePageAndWideEnough) {
    using Grip = CropSelection::Grip;
    constexpr double span = CropSelection::kMinimumSpan;
    const auto near = [](const CropSelection& a, const CropSelection& b) {
        return std::abs(a.left - b.left) < 1e-9 && std::abs(a.top - b.top) < 1e-9 &&
               std::abs(a.right - b.right) < 1e-9 && std::abs(a.bottom - b.bottom) < 1e-9;
    };
    // Swapped edges are ordered, edges past the page come back to it, a sliver grows to the span.
    EXPECT_TRUE(near(CropSelection{0.8, 0.9, 0.2, 0.1}.clamped(), {0.2, 0.1, 0.8, 0.9}));
    EXPECT_TRUE(near(CropSelection{-0.5, -1, 1.5, 2}.clamped(), CropSelection::whole()));
    EXPECT_TRUE(near(CropSelection{0.99, 0.3, 1.2, 0.31}.clamped(), {1 - span, 0.3, 1, 0.3 + span}));
    EXPECT_TRUE((CropSelection{0.99, 0.3, 1.2, 0.31}.clamped().valid()));

    const CropSelection s{0.2, 0.2, 0.6, 0.6};
    EXPECT_TRUE(near(s.moved(Grip::top_left, 0.9, -0.5), {0.6 - span, 0, 0.6, 0.6}));
    EXPECT_TRUE(near(s.moved(Grip::bottom_right, -0.9, 0.7), {0.2, 0.2, 0.2 + span, 1}));
    EXPECT_TRUE(near(s.moved(Grip::top_right, 0.1, 0.1), {0.2, 0.3, 0.7, 0.6}));
    EXPECT_TRUE(near(s.moved(Grip::bottom_left, -0.3, -0.1), {0, 0.2, 0.6, 0.5}));
    EXPECT_TRUE(near(s.moved(Grip::move, 0.7, -0.1), {0.6, 0.1, 1, 0.5}));  // the size is kept
    EXPECT_EQ(s.moved(Grip::none, 0.3, 0.3), s);

    LocalState<CropSelection> cell{CropSelection::whole()};
    const ImageCropEditor editor(nullptr, 10, 10, cell);
    editor.drag_to({0.7, 0.5, 0.69, -0.2});
    EXPECT_TRUE(near(cell.get(), {0.69, 0, 0.69 + span, 0.5}));
}

TEST(Controls, DisabledSegmentsCannotBeChosen) {
    LocalState<std::size_t> selected(0);
    auto group = ToggleGroup("c.source", "select", {"Flatbed", "Feeder", "Two-sided"}, selected)
                     .with_disabled({false, false, true});
    EXPECT_TRUE(group.enabled(1));
    EXPECT_FALSE(group.enabled(2));
    EXPECT_FALSE(group.select(2));
    EXPECT_EQ(selected.get(), 0u);
    Column tree;
    tree.push(std::move(group));
    const auto refused =
        invoke_control(tree, 0, kSegmentedSelectOperation, R"({"control":"c.source","index":2})");
    EXPECT_EQ(refused.kind, kora_actions::Outcome::Kind::failed);
    EXPECT_EQ(refused.message, "segment is not available");
    EXPECT_EQ(selected.get(), 0u);
    EXPECT_EQ(invoke_control(tree, 0, kSegmentedSelectOperation, R"({"control":"c.source","index":1})").kind,
              kora_actions::Outcome::Kind::handled);
    EXPECT_EQ(selected.get(), 1u);
}

// Every text the dark theme draws, on every background it draws it on: body text and captions at least
// 4.5:1 (so titles pass 3:1 too), banner and primary-button text alike; progress bars at least 3:1.
TEST(DarkTheme, EveryTextAndBackgroundPairIsReadable) {
    using theme::contrast_ratio;
    EXPECT_NEAR(contrast_ratio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    EXPECT_NEAR(contrast_ratio({119, 119, 119}, {255, 255, 255}), 4.48, 0.01);

    const auto dark = theme::Theme::dark();
    struct Pair {
        const char* name;
        theme::Colour text;
        theme::Colour background;
        double least;
    };
    const Pair pairs[] = {
        {"text on window", dark.text, dark.window, 4.5},
        {"text on cards", dark.text, dark.surface, 4.5},
        {"text on buttons and inputs", dark.text, dark.surface_raised, 4.5},
        {"caption on window", dark.text_muted, dark.window, 4.5},
        {"caption on cards", dark.text_muted, dark.surface, 4.5},
        {"caption on buttons and inputs", dark.text_muted, dark.surface_raised, 4.5},
        {"failure banner", dark.on_banner, dark.failure, 4.5},
        {"caution banner", dark.on_banner, dark.caution, 4.5},
        {"confirmation banner", dark.on_banner, dark.confirmation, 4.5},
        {"primary button", dark.on_accent, dark.accent, 4.5},
        {"progress on window", dark.accent, dark.window, 3.0},
        {"progress on cards", dark.accent, dark.surface, 3.0},
    };
    for (const auto& pair : pairs) {
        EXPECT_GE(contrast_ratio(pair.text, pair.background), pair.least) << pair.name;
    }
}

TEST(RuntimeDirectory, OnlyAPrivateDirectoryOfTheUserIsClaimed) {
    char pattern[] = "/tmp/kora-runtime-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string base = pattern;
    const uid_t me = ::getuid();
    EXPECT_TRUE(claim_runtime_directory(base + "/fresh", me));
    struct stat info {};
    ASSERT_EQ(::stat((base + "/fresh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(claim_runtime_directory(base + "/fresh", me)) << "our own, again";
    ASSERT_EQ(::mkdir((base + "/open").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((base + "/open").c_str(), 0777), 0);
    EXPECT_FALSE(claim_runtime_directory(base + "/open", me));
    ASSERT_EQ(::symlink("fresh", (base + "/link").c_str()), 0);
    EXPECT_FALSE(claim_runtime_directory(base + "/link", me));
    // Made first by another user (the directory is ours, so claim it for a uid that is not us).
    EXPECT_FALSE(claim_runtime_directory(base + "/fresh", me + 1));
    std::filesystem::remove_all(base);
}
