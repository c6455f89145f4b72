// libFuzzer: the first byte is the execution kind, the second picks the operation identifier, the rest is
// the argument text. Parsing never crashes; a rejected invocation changes nothing and queues nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "actions.h"
#include "kora_ui/thread.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = [] {
        // No worker threads: a handled invocation must not start real print-service calls.
        kora_ui::set_spawn_hook([](std::string_view) { return false; });
        return true;
    }();
    (void)once;
    if (size < 2) {
        return 0;
    }
    const std::uint8_t kind = data[0];
    const std::string_view operation = (data[1] & 1) != 0 ? "presswick.operation" : "presswick.refresh";
    const std::string_view arguments(reinterpret_cast<const char*>(data + 2), size - 2);

    // The pure parser.
    const auto parsed = presswick::actions::parse_invocation(kind, operation, arguments);
    const bool failed = parsed && !*parsed;
    const std::string message = failed ? parsed->error() : std::string();
    if (failed) {
        check(message.starts_with(presswick::actions::kInvalidOperation) ||
              message == presswick::actions::kUnknownOperation ||
              message == presswick::actions::kWrongExecutionKind ||
              message == presswick::actions::kNoLongerAvailable);
    }

    // Through the root: a failure or a refusal leaves the state as it was.
    presswick::Presswick state(presswick::views::build_first_run_view());
    const auto* content = state.content.get();
    const auto outcome = state.invoke_resource_operation_v2(kind, operation, arguments);
    if (outcome.kind != kora_actions::Outcome::Kind::handled) {
        check(outcome.kind ==
              (failed ? kora_actions::Outcome::Kind::failed : kora_actions::Outcome::Kind::not_handled));
        check(outcome.message == message);
        check(state.content.get() == content);
        check(!state.notice && !state.refresh_rx && !state.document_pick && !state.save_pick);
        check(!state.selected_job && !state.scan_scanner && !state.print_document);
        check(state.operations_rx.try_recv().status == kora_ui::RecvStatus::empty);
    } else {
        check(parsed && parsed->has_value());
    }
    return 0;
}
