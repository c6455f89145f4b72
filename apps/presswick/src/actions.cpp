#include "actions.h"

#include <array>

#include <nlohmann/json.hpp>

#include "display.h"
#include "kora_ui/translate.h"

namespace presswick::actions {

namespace {

using kora_actions::ActionSpec;
using kora_actions::kExecuteTask;
using kora_actions::kOpenView;
using kora_actions::Resource;

std::string payload(std::string_view kind, std::string_view target) {
    std::string text(kind);
    text.push_back('\0');
    text.append(target);
    return text;
}

ActionSpec action(std::string id, std::string title, std::uint8_t execution_kind, std::string payload_text) {
    ActionSpec declared;
    declared.id = std::move(id);
    declared.title = std::move(title);
    declared.execution_kind = execution_kind;
    declared.operation_id = std::string(kOperationId);
    declared.payload = nlohmann::json(std::move(payload_text));
    declared.derive_from_execution_kind();
    declared.derive_input();
    return declared;
}

// A payload that is not valid UTF-8 cannot be carried as a JSON string: that declaration is left out.
void push_if_valid(std::vector<ActionSpec>& actions, ActionSpec declared) {
    try {
        (void)declared.payload.dump();
    } catch (const nlohmann::json::exception&) {
        return;
    }
    actions.push_back(std::move(declared));
}

Resource printer_resource(const printing::PrintQueue& printer) {
    Resource child{"presswick.printer." + hex_identifier(printer.name),
                   "presswick.printer",
                   display_name(printer.name),
                   {},
                   {}};
    push_if_valid(child.actions,
                  action("open", kora_ui::tr("Open printer"), kOpenView, payload("device", printer.name)));
    if (!printer.is_default) {
        push_if_valid(child.actions, action("set-default", kora_ui::tr("Set as default printer"),
                                            kExecuteTask, payload("default", printer.name)));
    }
    push_if_valid(child.actions, offers_pause(printer)
                                     ? action("toggle-enabled", kora_ui::tr("Pause printer"), kExecuteTask,
                                              payload("pause", printer.name))
                                     : action("toggle-enabled", kora_ui::tr("Resume printer"), kExecuteTask,
                                              payload("resume", printer.name)));
    return child;
}

Resource job_resource(const printing::PrintJob& job) {
    Resource child{"presswick.job." + hex_identifier(job.id), "presswick.job", document_title(job), {}, {}};
    push_if_valid(child.actions, action("open-queue", kora_ui::tr("Open queue"), kOpenView, "queue"));
    if (job.state && *job.state <= printing::JobState::needs_attention) {
        push_if_valid(child.actions, action("cancel", kora_ui::tr("Cancel document"), kExecuteTask,
                                            payload("cancel", job.id)));
    }
    if (job.state && *job.state >= printing::JobState::needs_attention &&
        *job.state <= printing::JobState::not_printed) {
        push_if_valid(child.actions,
                      action("retry", kora_ui::tr("Print again"), kExecuteTask, payload("retry", job.id)));
    }
    return child;
}

Resource scanner_resource(const printing::Scanner& scanner) {
    Resource child{
        "presswick.scanner." + hex_identifier(scanner.id), "presswick.scanner", scanner.name, {}, {}};
    push_if_valid(child.actions, action("scan", kora_ui::tr("Scan a document"), kOpenView,
                                        payload("scan-device", scanner.id)));
    return child;
}

enum class Target : std::uint8_t { none, needed };

struct KindEntry {
    std::string_view kind;
    std::uint8_t execution_kind;
    Target target;
};

constexpr std::array<KindEntry, 15> kKinds{{
    {"refresh", kExecuteTask, Target::none},
    {"discover", kExecuteTask, Target::none},
    {"default", kExecuteTask, Target::needed},
    {"pause", kExecuteTask, Target::needed},
    {"resume", kExecuteTask, Target::needed},
    {"cancel", kExecuteTask, Target::needed},
    {"retry", kExecuteTask, Target::needed},
    {"dashboard", kOpenView, Target::none},
    {"queue", kOpenView, Target::none},
    {"history", kOpenView, Target::none},
    {"diagnostics", kOpenView, Target::none},
    {"print", kOpenView, Target::none},
    {"scan", kOpenView, Target::none},
    {"device", kOpenView, Target::needed},
    {"scan-device", kOpenView, Target::needed},
}};

Operation to_operation(std::string_view kind, std::string target) {
    if (kind == "refresh")
        return Refresh{};
    if (kind == "discover")
        return FindPrinters{};
    if (kind == "default")
        return SetPreferredPrinter{std::move(target)};
    if (kind == "pause")
        return SetPrinterEnabled{std::move(target), false};
    if (kind == "resume")
        return SetPrinterEnabled{std::move(target), true};
    if (kind == "cancel")
        return CancelJob{std::move(target)};
    if (kind == "retry")
        return RetryJob{std::move(target)};
    if (kind == "dashboard")
        return CloseScan{};
    if (kind == "queue")
        return ShowQueue{};
    if (kind == "history")
        return ShowHistory{};
    if (kind == "diagnostics")
        return ShowDiagnostics{};
    if (kind == "print")
        return ChooseDocument{};
    if (kind == "scan")
        return OpenScan{};
    if (kind == "device")
        return ShowDevice{std::move(target)};
    return ChooseScanner{std::move(target)};  // "scan-device", the last row
}

Parsed failed(std::string message) {
    return std::unexpected(std::move(message));
}

// The parser quotes the offending text: keep a short head of it, cut at a character boundary.

// No printer, job or scanner name holds a NUL or another control character.
bool carriable(std::string_view target) {
    for (const unsigned char byte : target) {
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool listed_scanner(const std::optional<DeviceSnapshot>& snapshot, std::string_view id) {
    if (!snapshot || !snapshot->scanners) {
        return false;
    }
    for (const auto& scanner : *snapshot->scanners) {
        if (scanner.id == id) {
            return true;
        }
    }
    return false;
}

std::string hex_identifier(std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char byte : text) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0x0f]);
    }
    return out;
}

Resource presswick_resource(const std::optional<DeviceSnapshot>& snapshot) {
    Resource root{"presswick", "presswick.dashboard", "Presswick", {}, {}};
    push_if_valid(root.actions,
                  action("refresh", kora_ui::tr("Refresh printers and documents"), kExecuteTask, "refresh"));
    push_if_valid(root.actions,
                  action("open-dashboard", kora_ui::tr("Open dashboard"), kOpenView, "dashboard"));
    push_if_valid(root.actions, action("open-queue", kora_ui::tr("Open print queue"), kOpenView, "queue"));
    push_if_valid(root.actions,
                  action("open-history", kora_ui::tr("Open print history"), kOpenView, "history"));
    push_if_valid(root.actions, action("run-diagnostics", kora_ui::tr("Run printer diagnostics"), kOpenView,
                                       "diagnostics"));
    push_if_valid(root.actions,
                  action("find-printers", kora_ui::tr("Find network printers"), kExecuteTask, "discover"));
    push_if_valid(root.actions,
                  action("print-document", kora_ui::tr("Print a document"), kOpenView, "print"));
    push_if_valid(root.actions, action("scan-document", kora_ui::tr("Scan a document"), kOpenView, "scan"));
    if (!snapshot) {
        return root;
    }
    if (snapshot->printers) {
        for (const auto& printer : *snapshot->printers) {
            root.children.push_back(printer_resource(printer));
        }
    }
    if (snapshot->jobs) {
        for (const auto& job : *snapshot->jobs) {
            root.children.push_back(job_resource(job));
        }
    }
    if (snapshot->scanners) {
        for (const auto& scanner : *snapshot->scanners) {
            root.children.push_back(scanner_resource(scanner));
        }
    }
    return root;
}

std::optional<Parsed> parse_invocation(std::uint8_t execution_kind, std::string_view operation_id,
                                       std::string_view arguments) {
    if (execution_kind == 0 || operation_id != kOperationId) {
        return std::nullopt;
    }
    if (arguments.size() > kMaxArgumentBytes) {
        return failed(std::string(kInvalidOperation) + "the arguments are longer than " +
                      std::to_string(kMaxArgumentBytes) + " bytes");
    }
    std::string text;
    try {
        const auto value = nlohmann::json::parse(arguments.begin(), arguments.end());
        if (!value.is_string()) {
            return failed(std::string(kInvalidOperation) + "invalid type: " + value.type_name() +
                          ", expected a string");
        }
        text = value.get<std::string>();
    } catch (const nlohmann::json::exception& error) {
        return failed(std::string(kInvalidOperation) + kora_actions::echoed(error.what()));
    }
    const auto nul = text.find('\0');
    const std::string_view kind = std::string_view(text).substr(0, nul);
    std::optional<std::string> target;
    if (nul != std::string::npos) {
        target = text.substr(nul + 1);
    }
    const KindEntry* entry = nullptr;
    for (const auto& candidate : kKinds) {
        if (candidate.kind == kind) {
            entry = &candidate;
            break;
        }
    }
    if (entry == nullptr) {
        return failed(std::string(kUnknownOperation));
    }
    if (entry->execution_kind != execution_kind) {
        return failed(std::string(kWrongExecutionKind));
    }
    if (entry->target == Target::needed && !target) {
        return failed(std::string(kNoLongerAvailable));
    }
    // Names reach the print service as C strings: a NUL would cut one short and name another device.
    if (entry->target == Target::needed && !carriable(*target)) {
        return failed(std::string(kInvalidOperation) + "the target holds a control character");
    }
    return to_operation(kind, std::move(target).value_or(std::string()));
}

}  // namespace presswick::actions
