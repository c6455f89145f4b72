// The named surfaces and the sample data: each surface number builds its sample state.
#include "kora_ui/text_input.h"
#include "view_support.h"

namespace views_test {
namespace {

std::vector<std::string> texts_of(int surface) {
    auto root = presswick::sample::new_surface_state(surface);
    EXPECT_FALSE(root->snapshot);
    EXPECT_FALSE(root->refresh_rx);
    EXPECT_FALSE(root->notice);
    return collect_texts(*root->content);
}

bool has(const std::vector<std::string>& texts, std::string_view text) {
    return count(texts, text) > 0;
}

TEST(Surfaces, EachNumberShowsItsView) {
    EXPECT_TRUE(has(texts_of(1), "One document is active"));
    EXPECT_TRUE(has(texts_of(1), "Printing now"));
    auto attention = texts_of(2);
    EXPECT_TRUE(has(attention, "Needs attention"));
    EXPECT_TRUE(has(attention, "Paused"));
    EXPECT_TRUE(has(texts_of(3), "Set up your first printer"));
    EXPECT_TRUE(has(texts_of(4), "Print queue"));
    EXPECT_TRUE(has(texts_of(5), "Status, supplies, and controls"));
    EXPECT_TRUE(has(texts_of(5), "Black: 72% remaining"));
    auto discovery = texts_of(6);
    EXPECT_TRUE(has(discovery, "Upstairs workspace"));
    EXPECT_TRUE(has(discovery, "Downstairs office"));
    EXPECT_TRUE(has(texts_of(7), "Travel itinerary.pdf"));
    EXPECT_TRUE(has(texts_of(10), "Shipping labels.pdf"));
    EXPECT_TRUE(has(texts_of(11), "Device help"));
    EXPECT_TRUE(has(texts_of(12), "Some device information couldn't be checked"));
    EXPECT_TRUE(has(texts_of(12), "Some information needs refreshing"));
    auto zero = texts_of(0);
    EXPECT_TRUE(has(zero, "Everything is ready"));
    EXPECT_TRUE(has(zero, "Ready"));
    EXPECT_TRUE(has(zero, "Review what printed and quickly print a retained job again."));
}

TEST(Surfaces, PrintDialogSample) {
    auto root = presswick::sample::new_surface_state(7);
    EXPECT_EQ(root->copies.get(), 1.0);
    EXPECT_TRUE(root->two_sided.get());
    auto images = kora_ui::testing::find_all<kora_ui::Image>(*root->content);
    ASSERT_EQ(images.size(), 1U);
    EXPECT_EQ(images[0]->width(), 320U);
    EXPECT_EQ(images[0]->height(), 420U);
    const auto dropdowns = kora_ui::testing::find_all<kora_ui::Dropdown>(*root->content);
    const auto printer = std::ranges::find(dropdowns, std::string_view("presswick.print.printer"),
                                           &kora_ui::Dropdown::control_id);
    ASSERT_NE(printer, dropdowns.end());
    EXPECT_EQ((*printer)->value(), std::optional<std::string>("Studio_printer"));
    // The sample printer offers every choice of the dialog.
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::TextInput>(*root->content).size(), 1U);
    EXPECT_EQ(kora_ui::testing::find_all<kora_ui::ToggleGroup>(*root->content).size(), 3U);
    EXPECT_EQ(dropdowns.size(), 3U);
    EXPECT_EQ(buttons_with_id(*root->content, "presswick.print.submit").size(), 1U);
}

TEST(Surfaces, SampleImagesAreDrawnAsDescribed) {
    auto preview = presswick::sample::print_preview_image();
    auto at = [&](const auto& px, std::uint32_t width, std::uint32_t x, std::uint32_t y) {
        const auto* p = &(*px)[(std::size_t{y} * width + x) * 4];
        return std::array<int, 4>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(at(preview.rgba, 320, 0, 0), (std::array<int, 4>{248, 248, 246, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 24, 28), (std::array<int, 4>{44, 91, 162, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 295, 87), (std::array<int, 4>{44, 91, 162, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 296, 87), (std::array<int, 4>{248, 248, 246, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 28, 126), (std::array<int, 4>{54, 59, 68, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 28 + 237, 132), (std::array<int, 4>{54, 59, 68, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 28 + 238, 132), (std::array<int, 4>{248, 248, 246, 255}));
    EXPECT_EQ(at(preview.rgba, 320, 28, 133), (std::array<int, 4>{248, 248, 246, 255}));

    auto page = presswick::sample::receipt_page();
    ASSERT_EQ(page.pixels->size(), 320U * 440U * 4U);
    EXPECT_EQ(at(page.pixels, 320, 0, 0), (std::array<int, 4>{196, 198, 202, 255}));
    EXPECT_EQ(at(page.pixels, 320, 4, 4), (std::array<int, 4>{250, 248, 243, 255}));
    EXPECT_EQ(at(page.pixels, 320, 34, 92), (std::array<int, 4>{45, 51, 65, 255}));
    EXPECT_EQ(at(page.pixels, 320, 100, 330), (std::array<int, 4>{224, 235, 255, 255}));
    EXPECT_EQ(page.status, "Recognized 8 words.");
    EXPECT_EQ(page.language, "English");
    EXPECT_EQ(page.text, "Travel receipt\nCoffee and breakfast  €12.40\nMonday, 7 September");
    ASSERT_TRUE(page.encoded);
    EXPECT_GT(page.encoded->size(), 8U);
}

TEST(Surfaces, ScanResultHoldsOnePage) {
    auto root = presswick::sample::new_surface_state(9);
    EXPECT_EQ(root->pages.size(), 1U);
    ASSERT_TRUE(root->current_page);
    EXPECT_EQ(root->scan_scanner, std::optional<std::string>("scanner0"));
}

}  // namespace
}  // namespace views_test
