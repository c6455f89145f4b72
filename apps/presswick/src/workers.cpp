#include "workers.h"

#include <utility>

#include "base/files.h"
#include "kora_ui/thread.h"
#include "preview_process.h"

namespace presswick::workers {

namespace printing = os_actions::printing;

bool spawn_worker(const std::string& name, std::function<void()> work) {
    return kora_ui::spawn_named_thread(name, std::move(work));
}

namespace {

// The common shape of the two-notice workers: one call, pick a notice, post it, end. A call the print
// server refused for want of credentials posts CredentialsWanted instead, with a retry that asks no more;
// one that refused the credentials offered says so.
template <class Call>
bool start_with_notices(const char* name, OperationSender sender, NoticePair notices, Call call,
                        bool may_ask = true) {
    // A refusal for lack of rights says so, under the failure's own title.
    Notice refused{notices.failure.title, std::string(kora_ui::tr(not_permitted_detail)), false};
    return spawn_worker(name, [name, sender = std::move(sender), notices = std::move(notices),
                               refused = std::move(refused), call = std::move(call), may_ask]() mutable {
        using Kind = printing::ServiceError::Kind;
        const auto result = call();  // the service's own error text is dropped
        if (!result && result.error().kind == Kind::not_permitted) {
            (void)sender.send(OperationFinished{std::move(refused)});
            return;
        }
        if (!result && result.error().kind == Kind::credentials_refused) {
            // Not the connection's fault: say so; the next request asks again.
            auto failure = notices.failure;
            failure.detail = result.error().message;
            (void)sender.send(OperationFinished{std::move(failure)});
            return;
        }
        if (!result && may_ask && result.error().kind == Kind::credentials_wanted) {
            auto failure = notices.failure;
            (void)sender.send(
                CredentialsWanted{result.error().server, std::move(failure), [name, sender, notices, call] {
                                      return start_with_notices(name, sender, notices, call, false);
                                  }});
            return;
        }
        (void)sender.send(
            OperationFinished{result ? std::move(notices.success) : std::move(notices.failure)});
    });
}

}  // namespace

bool start_discovery(OperationSender sender) {
    return spawn_worker("kora-printer-discovery", [sender = std::move(sender)] {
        (void)sender.send(PrintersFound{printing::discover_driverless()});
    });
}

bool start_add_printer(OperationSender sender, printing::DriverlessPrinter printer, NoticePair notices) {
    return start_with_notices(
        "kora-add-printer", std::move(sender), std::move(notices),
        [printer = std::move(printer)] { return printing::add_driverless(printer.uri, printer.name); });
}

bool start_default_printer(OperationSender sender, std::string queue, NoticePair notices) {
    return start_with_notices("kora-default-printer", std::move(sender), std::move(notices),
                              [queue = std::move(queue)] { return printing::set_default(queue); });
}

bool start_toggle_printer(OperationSender sender, std::string queue, bool enabled, NoticePair notices) {
    return start_with_notices(
        "kora-toggle-printer", std::move(sender), std::move(notices),
        [queue = std::move(queue), enabled] { return printing::set_enabled(queue, enabled); });
}

bool start_cancel_job(OperationSender sender, std::string job_id, NoticePair notices) {
    return start_with_notices("kora-cancel-print-job", std::move(sender), std::move(notices),
                              [job_id = std::move(job_id)] { return printing::cancel_job(job_id); });
}

bool start_retry_job(OperationSender sender, std::string job_id, NoticePair notices) {
    return start_with_notices("kora-retry-print-job", std::move(sender), std::move(notices),
                              [job_id = std::move(job_id)] { return printing::retry_job(job_id); });
}

bool start_print_document(OperationSender sender, std::filesystem::path document, std::string queue,
                          printing::JobOptions options, std::optional<std::uint32_t> document_pages,
                          NoticePair notices, std::shared_ptr<const void> keep) {
    return start_with_notices(
        "kora-print-document", std::move(sender), std::move(notices),
        [document = std::move(document), queue = std::move(queue), options = std::move(options),
         document_pages, keep = std::move(keep)]() mutable -> printing::OperationResult {
            // An empty file, a directory or a vanished file would leave an empty job.
            if (!base::is_readable_regular_file(document)) {
                return std::unexpected(printing::ServiceError("not a readable document"));
            }
            auto printed = printing::print_document(queue, document, options, document_pages);
            if (printed) {
                keep.reset();  // the server has its own copy now
            }
            return printed;
        });
}

bool start_printer_options(OperationSender sender, std::string queue) {
    return spawn_worker("kora-printer-options",
                        [sender = std::move(sender), queue = std::move(queue)]() mutable {
                            auto result = printing::printer_options(queue);
                            (void)sender.send(PrinterOptionsRead{std::move(queue), std::move(result)});
                        });
}

kora_ui::Receiver<PreviewResult> start_preview(std::filesystem::path document, std::uint32_t page) {
    auto [sender, receiver] = kora_ui::channel<PreviewResult>();
    (void)spawn_worker("kora-print-preview",
                       [sender = std::move(sender), document = std::move(document), page] {
                           // Leaving the dialog, or asking for another page, drops the receiver, and that
                           // stops the helper.
                           (void)sender.send(render_preview(
                               document, [&sender] { return sender.receiver_alive(); }, page));
                       });
    return std::move(receiver);
}

}  // namespace presswick::workers
