// The launch descriptor and the surface table.
#include <gtest/gtest.h>

#include "launch.h"

using namespace presswick::launch;
using kora_ui::launch::SurfaceRequest;

TEST(Descriptor, FilledAsTheTableSays) {
    const auto d = make_launch_descriptor();
    EXPECT_TRUE(d.application_id.ends_with(".presswick"));
    EXPECT_TRUE(d.document_types.empty() && d.url_schemes.empty() && d.keywords.empty() &&
                d.categories.empty());
    ASSERT_EQ(d.surfaces.size(), 16u);
    EXPECT_EQ(d.surfaces.front(), "active");
    EXPECT_EQ(d.surfaces[3], "narrow");
    EXPECT_EQ(d.surfaces.back(), "service-error-narrow");
    EXPECT_FALSE(d.before_window || d.after_window || d.on_activate || d.on_open_files || d.on_open_url ||
                 d.on_close);
    EXPECT_TRUE(d.default_root && d.surface_root && d.window_size);
    EXPECT_EQ(d.instance_limit(), 1u);
    EXPECT_EQ(d.persist_open, &kora_ui::persist::open);
    EXPECT_EQ(d.flags, 0x01010001u);
}

TEST(Surfaces, ParseExactly) {
    EXPECT_EQ(parse_surface(std::nullopt), 0);
    EXPECT_EQ(parse_surface("active"), 1);
    EXPECT_EQ(parse_surface("empty"), 3);
    EXPECT_EQ(parse_surface("narrow"), 0);
    EXPECT_EQ(parse_surface("print"), 7);
    EXPECT_EQ(parse_surface("print-narrow"), 7);
    EXPECT_EQ(parse_surface("scan-result-narrow"), 9);
    EXPECT_EQ(parse_surface("service-error-narrow"), 12);
    EXPECT_EQ(parse_surface("Queue"), 0);
    EXPECT_EQ(parse_surface(" queue"), 0);
    EXPECT_EQ(parse_surface(""), 0);
}

TEST(Surfaces, WindowSizes) {
    EXPECT_EQ(window_size_for_surface({}), kWideWindow);
    EXPECT_EQ(window_size_for_surface({"narrow"}), (kora_ui::launch::WindowSize{520, 820}));
    EXPECT_EQ(window_size_for_surface({"print"}), (kora_ui::launch::WindowSize{1280, 800}));
    EXPECT_EQ(window_size_for_surface({"print-narrow"}), kNarrowWindow);
    EXPECT_EQ(window_size_for_surface({"service-error-narrow"}), kNarrowWindow);
    EXPECT_EQ(window_size_for_surface({"Narrow"}), kWideWindow);
    EXPECT_EQ(window_size_for_surface({" queue"}), kWideWindow);
}

TEST(Surfaces, ConstructorsGiveARoot) {
    EXPECT_NE(new_root_for_surface({"empty"}), nullptr);
    EXPECT_NE(new_root_for_surface({"narrow"}), nullptr);
}
