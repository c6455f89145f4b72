// The placement table and the shortest round-trip number forms.
#include "pdf/placement.h"

#include <gtest/gtest.h>

namespace presswick::pdf {
namespace {

TEST(Placement, DocumentedTableAllFiveRows) {
    struct Row {
        std::uint32_t width, height;
        const char *sw, *sh, *x, *y;
    };
    const Row rows[] = {
        {1000, 1000, "559", "559", "18", "141.5"},
        {100, 50, "559", "279.5", "18", "281.25"},
        {640, 480, "559", "419.25", "18", "211.375"},
        {2480, 3508, "559", "790.7145161290323", "18", "25.642741935483855"},
        {1, 1, "559", "559", "18", "141.5"},
    };
    for (const Row& row : rows) {
        const Placement p = placement_for(row.width, row.height);
        EXPECT_EQ(format_real(p.sw), row.sw) << row.width << " x " << row.height;
        EXPECT_EQ(format_real(p.sh), row.sh) << row.width << " x " << row.height;
        EXPECT_EQ(format_real(p.x), row.x) << row.width << " x " << row.height;
        EXPECT_EQ(format_real(p.y), row.y) << row.width << " x " << row.height;
    }
}

TEST(Placement, TallPagesTouchTheTopAndBottomMargins) {
    const Placement p = placement_for(100, 1000);
    EXPECT_EQ(format_real(p.sh), "806");
    EXPECT_EQ(format_real(p.y), "18");
    EXPECT_EQ(format_real(p.sw), "80.60000000000001");
}

TEST(NumberForms, ShortestRoundTripPositional) {
    EXPECT_EQ(format_real(559.0), "559");
    EXPECT_EQ(format_real(141.5), "141.5");
    EXPECT_EQ(format_real(790.7145161290323), "790.7145161290323");
    EXPECT_EQ(format_real(0.000000806), "0.000000806");
    EXPECT_EQ(format_real(1e21), "1000000000000000000000");
    EXPECT_EQ(format_real(0.1), "0.1");
}

TEST(NumberForms, ExtremePageSizesStayPositional) {
    const Placement p = placement_for(0xFFFFFFFFu, 1);
    const std::string sh = format_real(p.sh);
    EXPECT_TRUE(sh.starts_with("0.0000001")) << sh;
    EXPECT_EQ(sh.find('e'), std::string::npos);
    EXPECT_EQ(std::stod(sh), p.sh);
}

TEST(NumberForms, Integers) {
    EXPECT_EQ(format_integer(0), "0");
    EXPECT_EQ(format_integer(213), "213");
    EXPECT_EQ(format_integer(18446744073709551615ull), "18446744073709551615");
}

}  // namespace
}  // namespace presswick::pdf
