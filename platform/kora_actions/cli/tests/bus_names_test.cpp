#include "kora_actions/bus.h"

#include <gtest/gtest.h>

namespace kora_actions::bus {
namespace {

TEST(BusNames, ApplicationIdentifierGivesNameAndPath) {
    EXPECT_EQ(bus_name_for("org.kora.presswick"), "org.kora.presswick");
    EXPECT_EQ(object_path_for("org.kora.presswick"), "/org/kora/presswick");
}

TEST(BusNames, CharactersOutsideTheBusAlphabetBecomeUnderscores) {
    EXPECT_EQ(bus_name_for("org.kora.press-wick"), "org.kora.press_wick");
    EXPECT_EQ(object_path_for("org.kora.press-wick"), "/org/kora/press_wick");
    EXPECT_EQ(bus_name_for("org.7kora..presswick."), "org._7kora.presswick");
}

TEST(BusNames, ShortIdentifiersStillMakeAWellKnownName) {
    EXPECT_EQ(bus_name_for("presswick"), "org.kora.presswick");
    EXPECT_EQ(object_path_for(""), "/org/kora/application");
}

}  // namespace
}  // namespace kora_actions::bus
