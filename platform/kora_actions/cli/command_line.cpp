#include "command_line.h"

#include <charconv>
#include <vector>

namespace kora_actions::cli {

namespace {

template <class Int>
std::optional<Int> whole_number(std::string_view text) {
    Int value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::expected<CommandLine, std::string> fail(std::string reason) {
    return std::unexpected(std::move(reason));
}

}  // namespace

std::string usage_text() {
    return "usage: presswick-actions [--app-id ID] list [--json]\n"
           "       presswick-actions [--app-id ID] invoke RESOURCE ACTION [--index N]\n"
           "       presswick-actions [--app-id ID] call EXECUTION_KIND OPERATION_ID ARGUMENT_JSON\n"
           "\n"
           "  list     the resources the running Presswick offers, with their actions\n"
           "           (--json: the whole tree as JSON, control resources included)\n"
           "  invoke   an action of a resource, with the payload and execution kind it declares\n"
           "           (--index N: the segment an action such as \"select\" chooses)\n"
           "  call     a raw invocation (EXECUTION_KIND 0-255, ARGUMENT_JSON sent as given)\n"
           "  --app-id the application identifier whose bus name is used (default org.kora.presswick)\n"
           "\n"
           "Exit status: 0 handled, 1 failed (the message on standard error), 2 not handled,\n"
           "Presswick not running, or a malformed command line.\n";
}

std::expected<CommandLine, std::string> parse_command_line(std::span<const std::string_view> args) {
    CommandLine line;
    std::vector<std::string_view> words;
    std::optional<std::string_view> index_text;
    bool json = false;
    bool options_done = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto arg = args[i];
        if (options_done || arg.size() < 2 || !arg.starts_with("--")) {
            if (arg == "-h") {
                line.command = HelpCommand{};
                return line;
            }
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
        } else if (arg == "--help") {
            line.command = HelpCommand{};
            return line;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--app-id" || arg == "--index") {
            if (i + 1 == args.size()) {
                return fail(std::string(arg) + " needs a value");
            }
            ++i;
            if (arg == "--app-id") {
                line.application_id = std::string(args[i]);
            } else {
                index_text = args[i];
            }
        } else {
            return fail("unknown option " + std::string(arg));
        }
    }
    if (words.empty()) {
        return fail("no command given");
    }
    const auto command = words.front();
    const auto operands = std::span(words).subspan(1);
    if (command != "list" && json) {
        return fail("--json belongs to list");
    }
    if (command != "invoke" && index_text) {
        return fail("--index belongs to invoke");
    }
    if (command == "list") {
        if (!operands.empty()) {
            return fail("list takes no operands");
        }
        line.command = ListCommand{json};
        return line;
    }
    if (command == "invoke") {
        if (operands.size() != 2) {
            return fail("invoke takes RESOURCE and ACTION");
        }
        InvokeCommand invoke{std::string(operands[0]), std::string(operands[1]), std::nullopt};
        if (index_text) {
            invoke.index = whole_number<std::int64_t>(*index_text);
            if (!invoke.index) {
                return fail("--index needs a whole number, not \"" + std::string(*index_text) + "\"");
            }
        }
        line.command = std::move(invoke);
        return line;
    }
    if (command == "call") {
        if (operands.size() != 3) {
            return fail("call takes EXECUTION_KIND, OPERATION_ID and ARGUMENT_JSON");
        }
        const auto kind = whole_number<std::uint8_t>(operands[0]);
        if (!kind) {
            return fail("EXECUTION_KIND is a number from 0 to 255, not \"" + std::string(operands[0]) + "\"");
        }
        line.command = CallCommand{*kind, std::string(operands[1]), std::string(operands[2])};
        return line;
    }
    return fail("unknown command " + std::string(command));
}

}  // namespace kora_actions::cli
