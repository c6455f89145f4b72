// The operation workers: one named, detached thread per request, posting back once.
// Everything a worker needs (texts, paths, both notices, a sender) is built on the UI thread first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kora_ui/channel.h"
#include "kora_ui/translate.h"
#include "notice.h"
#include "operation.h"
#include "preview.h"
#include "printing/printing.h"

namespace presswick::workers {

using OperationSender = kora_ui::Sender<Operation>;

// The success and the failure notice of a worker; the worker only chooses.
struct NoticePair {
    Notice success;
    Notice failure;
};

// The failure detail of an operation the print server refused this user.
inline constexpr const char* not_permitted_detail =
    N_("You don't have permission to do this. Ask the person who manages this printer.");

// Starts a detached thread named `name` running `work`; false when it could not be created (the work
// and everything it holds are dropped then).
[[nodiscard]] bool spawn_worker(const std::string& name, std::function<void()> work);

// "kora-printer-discovery": posts PrintersFound.
[[nodiscard]] bool start_discovery(OperationSender sender);
// The others post OperationFinished with one of the two notices.
[[nodiscard]] bool start_add_printer(OperationSender sender, os_actions::printing::DriverlessPrinter printer,
                                     NoticePair notices);
[[nodiscard]] bool start_default_printer(OperationSender sender, std::string queue, NoticePair notices);
[[nodiscard]] bool start_toggle_printer(OperationSender sender, std::string queue, bool enabled,
                                        NoticePair notices);
[[nodiscard]] bool start_cancel_job(OperationSender sender, std::string job_id, NoticePair notices);
[[nodiscard]] bool start_retry_job(OperationSender sender, std::string job_id, NoticePair notices);
// `document_pages`: the page count the preview found, when it found one. `keep` is held until the
// print server has the document (a temporary copy, removed when it is let go).
[[nodiscard]] bool start_print_document(OperationSender sender, std::filesystem::path document,
                                        std::string queue, os_actions::printing::JobOptions options,
                                        std::optional<std::uint32_t> document_pages, NoticePair notices,
                                        std::shared_ptr<const void> keep = {});
// "kora-printer-options": posts PrinterOptionsRead with what the queue's printer offers.
[[nodiscard]] bool start_printer_options(OperationSender sender, std::string queue);

// "kora-print-preview": page `page` (from 1) on a new preview channel, whose receiver is returned
// whether or not the thread started; when it did not, the dropped sender leaves it disconnected.
[[nodiscard]] kora_ui::Receiver<PreviewResult> start_preview(std::filesystem::path document,
                                                             std::uint32_t page = 1);

}  // namespace presswick::workers
