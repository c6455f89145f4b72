#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace kora_actions::cli {
namespace {

std::expected<CommandLine, std::string> parse(std::vector<std::string_view> args) {
    return parse_command_line(args);
}

TEST(CommandLine, ListReadableAndJson) {
    const auto plain = parse({"list"});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->application_id, "org.kora.presswick");
    EXPECT_FALSE(std::get<ListCommand>(plain->command).json);
    const auto json = parse({"list", "--json"});
    ASSERT_TRUE(json);
    EXPECT_TRUE(std::get<ListCommand>(json->command).json);
}

TEST(CommandLine, InvokeWithAndWithoutIndex) {
    const auto plain = parse({"invoke", "presswick", "refresh"});
    ASSERT_TRUE(plain);
    const auto& invoke = std::get<InvokeCommand>(plain->command);
    EXPECT_EQ(invoke.resource_id, "presswick");
    EXPECT_EQ(invoke.action_id, "refresh");
    EXPECT_FALSE(invoke.index);
    const auto indexed =
        parse({"invoke", "kora.control:presswick.scan.resolution", "select", "--index", "2"});
    ASSERT_TRUE(indexed);
    EXPECT_EQ(std::get<InvokeCommand>(indexed->command).index, 2);
    const auto first = parse({"invoke", "--index", "-1", "r", "select"});
    ASSERT_TRUE(first);
    EXPECT_EQ(std::get<InvokeCommand>(first->command).index, -1);
}

TEST(CommandLine, CallKeepsTheArgumentAsGiven) {
    const auto line =
        parse({"--app-id", "org.example.presswick", "call", "1", "presswick.operation", "\"refresh\""});
    ASSERT_TRUE(line);
    EXPECT_EQ(line->application_id, "org.example.presswick");
    const auto& call = std::get<CallCommand>(line->command);
    EXPECT_EQ(call.execution_kind, 1);
    EXPECT_EQ(call.operation_id, "presswick.operation");
    EXPECT_EQ(call.argument_json, "\"refresh\"");
    const auto dashed = parse({"call", "2", "op", "--", "--not-an-option"});
    ASSERT_TRUE(dashed);
    EXPECT_EQ(std::get<CallCommand>(dashed->command).argument_json, "--not-an-option");
}

TEST(CommandLine, Help) {
    EXPECT_TRUE(std::holds_alternative<HelpCommand>(parse({"--help"})->command));
    EXPECT_TRUE(std::holds_alternative<HelpCommand>(parse({"list", "-h"})->command));
    EXPECT_NE(usage_text().find("invoke RESOURCE ACTION [--index N]"), std::string::npos);
}

TEST(CommandLine, MalformedLinesSayWhy) {
    EXPECT_EQ(parse({}).error(), "no command given");
    EXPECT_EQ(parse({"lst"}).error(), "unknown command lst");
    EXPECT_EQ(parse({"list", "extra"}).error(), "list takes no operands");
    EXPECT_EQ(parse({"list", "--verbose"}).error(), "unknown option --verbose");
    EXPECT_EQ(parse({"invoke", "presswick"}).error(), "invoke takes RESOURCE and ACTION");
    EXPECT_EQ(parse({"invoke", "a", "b", "--index"}).error(), "--index needs a value");
    EXPECT_EQ(parse({"invoke", "a", "b", "--index", "two"}).error(),
              "--index needs a whole number, not \"two\"");
    EXPECT_EQ(parse({"invoke", "a", "b", "--json"}).error(), "--json belongs to list");
    EXPECT_EQ(parse({"list", "--index", "1"}).error(), "--index belongs to invoke");
    EXPECT_EQ(parse({"call", "1", "op"}).error(),
              "call takes EXECUTION_KIND, OPERATION_ID and ARGUMENT_JSON");
    EXPECT_EQ(parse({"call", "256", "op", "\"x\""}).error(),
              "EXECUTION_KIND is a number from 0 to 255, not \"256\"");
    EXPECT_EQ(parse({"call", "-1", "op", "\"x\""}).error(),
              "EXECUTION_KIND is a number from 0 to 255, not \"-1\"");
}

}  // namespace
}  // namespace kora_actions::cli
