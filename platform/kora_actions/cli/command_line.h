// presswick-actions' command line: what the user asked for, or why the line cannot be read.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace kora_actions::cli {

inline constexpr std::string_view kDefaultApplicationId = "org.kora.presswick";

struct ListCommand {
    bool json = false;
};
struct InvokeCommand {
    std::string resource_id;
    std::string action_id;
    std::optional<std::int64_t> index;
};
struct CallCommand {
    std::uint8_t execution_kind = 0;
    std::string operation_id;
    std::string argument_json;
};
struct HelpCommand {};

struct CommandLine {
    std::string application_id{kDefaultApplicationId};
    std::variant<ListCommand, InvokeCommand, CallCommand, HelpCommand> command;
};

// The text printed for --help and, after the reason, for a malformed line.
[[nodiscard]] std::string usage_text();

// Reads the arguments after the program name; the error is one line saying what is wrong.
[[nodiscard]] std::expected<CommandLine, std::string> parse_command_line(
    std::span<const std::string_view> args);

}  // namespace kora_actions::cli
