// Presswick: the root widget and the whole application state. Only the UI thread touches it.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "desktop_notices.h"
#include "kora_ui/channel.h"
#include "kora_ui/credentials.h"
#include "kora_ui/local_state.h"
#include "kora_ui/picker.h"
#include "kora_ui/widget.h"
#include "notice.h"
#include "operation.h"
#include "preview.h"
#include "printing/printing.h"
#include "scan/scanned_page.h"
#include "snapshot.h"

namespace presswick::scan {
class PrintCopy;
}

namespace presswick::surface {

// The page that is showing, with what composing it again needs beyond the rest of the state, so newer
// data can be shown on the same page.
namespace shown {
struct Loading {};
// The dashboard, or the first-run view while there is no snapshot.
struct Home {};
// With `selected_job`, looked up in whatever snapshot it is composed with.
struct Queue {};
struct Device {
    std::string printer;  // queue name
};
struct History {};
struct Diagnostics {};
struct Discovery {
    // Absent while the search runs.
    std::optional<std::expected<std::vector<os_actions::printing::DriverlessPrinter>, std::string>> result;
};
// Over `print_document`, `print_printer`, `preview` and the copies and two-sided cells.
struct PrintDialog {};
// The settings face, or the result face of `current_page` while there is one.
struct Scan {};
}  // namespace shown
using ShownView = std::variant<shown::Loading, shown::Home, shown::Queue, shown::Device, shown::History,
                               shown::Diagnostics, shown::Discovery, shown::PrintDialog, shown::Scan>;

class Presswick final : public kora_ui::Widget {
  public:
    // The state of a window that opens on `content`, the page `what`, and starts no refresh (named
    // surfaces use it).
    explicit Presswick(kora_ui::WidgetPtr content, ShownView what = shown::Home{});
    // An ordinary start: the loading view, with the first refresh already running.
    [[nodiscard]] static std::unique_ptr<Presswick> new_default_root();

    std::string_view type_name() const override { return "presswick::surface::Presswick"; }
    std::span<const kora_ui::WidgetPtr> children() const override { return {&content, 1}; }
    bool update(kora_ui::UpdateContext& context) override;
    bool needs_idle_sync() const override;
    std::vector<kora_actions::Resource> resources() const override;
    kora_actions::Outcome invoke_resource_operation_v2(std::uint8_t execution_kind,
                                                       std::string_view operation_id,
                                                       std::string_view arguments) override;
    std::optional<kora_ui::ControlInvocation> take_control_invocation() override;
    // Closing with scanned pages not yet saved asks first; "Save…" saves the document, then closes.
    std::optional<kora_ui::CloseQuestion> close_question() const override;
    void answer_close_question(kora_ui::CloseAnswer answer) override;
    bool take_close_request() override { return std::exchange(close_requested, false); }

    // Replaces the shown tree, which is the page `what`; the old tree is dropped now. Any page but the
    // print dialog also drops a preview still being prepared: nothing would show it.
    void install(kora_ui::WidgetPtr view, ShownView what = shown::Home{}) {
        content = std::move(view);
        shown_view = std::move(what);
        if (!std::holds_alternative<shown::PrintDialog>(shown_view) && preview_rx) {
            preview_rx.reset();
            preview = PrintPreview::unavailable();
        }
    }

    // The fields, in their documented order.
    kora_ui::Sender<Operation> operations_tx;
    kora_ui::Receiver<Operation> operations_rx;
    std::optional<DeviceSnapshot> snapshot;
    std::optional<kora_ui::Receiver<DeviceSnapshot>> refresh_rx;
    std::optional<kora_ui::PendingPick> document_pick;
    std::optional<kora_ui::Receiver<PreviewResult>> preview_rx;
    std::optional<kora_ui::PendingPick> save_pick;
    std::vector<ScannedPage> pages;
    std::optional<Notice> notice;
    std::optional<std::string> selected_job;
    std::optional<std::filesystem::path> print_document;
    // The scanned document written for the print dialog, while the dialog shows it.
    std::shared_ptr<const scan::PrintCopy> print_copy;
    bool print_copy_making = false;
    std::optional<std::string> print_printer;
    std::optional<std::string> scan_scanner;
    std::optional<ScannedPage> current_page;
    PrintPreview preview = PrintPreview::unavailable();
    kora_ui::WidgetPtr content;
    kora_ui::LocalState<double> copies{1.0};
    kora_ui::LocalState<bool> two_sided{false};
    // The print dialog's other choices (print_choices.h says what each holds).
    kora_ui::LocalState<std::string> print_pages{std::string()};
    kora_ui::LocalState<std::string> print_paper{std::string()};
    kora_ui::LocalState<std::size_t> print_orientation{0};
    kora_ui::LocalState<std::size_t> print_colour{0};
    kora_ui::LocalState<std::size_t> print_quality{0};
    kora_ui::LocalState<std::string> print_per_sheet{std::string("1")};
    kora_ui::LocalState<bool> print_collate{true};
    // What the chosen printer offers, once read (for `queue`: a newly chosen one's is still coming).
    struct OfferedOptions {
        std::string queue;
        os_actions::printing::PrinterOptions options;
    };
    std::optional<OfferedOptions> print_options;
    std::uint32_t preview_page = 1;  // the preview page asked for, from 1
    // The versions of the print dialog's cells it was last built with: a change rebuilds it.
    std::uint64_t print_cells_seen = 0;
    kora_ui::LocalState<std::size_t> scan_resolution{1};
    kora_ui::LocalState<std::size_t> scan_colour{0};
    kora_ui::LocalState<std::size_t> scan_source{0};
    kora_ui::LocalState<std::size_t> scan_language{RecognitionLanguage::desktop_index()};
    kora_ui::LocalState<kora_ui::CropSelection> crop_selection{kora_ui::CropSelection::whole()};
    std::uint64_t current_index = 0;
    bool save_as_document = false;
    bool scanning = false;
    // The press being scanned: its number, how to stop it, and the pages it has given so far.
    std::uint64_t scan_serial = 0;
    std::optional<std::stop_source> scan_stop;
    std::size_t scan_received = 0;
    bool scan_from_feeder = false;
    // The page `content` shows (or, before the first snapshot, the print dialog that waits for one).
    ShownView shown_view = shown::Loading{};
    // Counts the changes to the page list; saved_version is the count the last saved document had.
    std::uint64_t document_version = 0;
    std::uint64_t saved_version = 0;
    // A print server's question for credentials, and the operations waiting on its answer (one server).
    std::optional<kora_ui::PendingCredentials> credentials_ask;
    std::vector<CredentialsWanted> credentials_waiting;
    // Pages were dropped: their memory is given back at the next update, once the window has let go
    // of their pictures too.
    bool return_memory = false;
    // The document is being saved because the window is to close: it closes once the save worked.
    bool close_after_save = false;
    bool close_requested = false;
    // Live changes from the print server: the watch, what it reported, what waits for the next quiet
    // update, and the quiet update in progress (one at a time).
    std::unique_ptr<os_actions::printing::Watch> watch;
    std::optional<kora_ui::Receiver<os_actions::printing::Changes>> changes_rx;
    std::optional<os_actions::printing::Changes> changes_waiting;
    std::optional<kora_ui::Receiver<DeviceSnapshot>> update_rx;
    // Desktop notifications of what live updates brought, and the targets of those the user chose.
    NoticeMemory notice_memory;
    std::optional<kora_ui::Receiver<std::string>> chosen_rx;
    [[nodiscard]] bool has_unsaved_pages() const {
        return !pages.empty() && document_version != saved_version;
    }

  private:
    explicit Presswick(std::pair<kora_ui::Sender<Operation>, kora_ui::Receiver<Operation>> channel,
                       kora_ui::WidgetPtr content, ShownView what);
};

// Wraps exactly one child and forwards everything to it; only its type name is its own.
class DashboardCard final : public kora_ui::Widget {
  public:
    template <class W>
    explicit DashboardCard(W&& child) : m_child(kora_ui::into_widget(std::forward<W>(child))) {}
    std::string_view type_name() const override { return "presswick::surface::DashboardCard"; }
    std::span<const kora_ui::WidgetPtr> children() const override { return {&m_child, 1}; }
    bool update(kora_ui::UpdateContext& context) override { return m_child->update(context); }
    bool needs_idle_sync() const override { return m_child->needs_idle_sync(); }
    std::vector<kora_actions::Resource> resources() const override { return m_child->resources(); }
    kora_actions::Outcome invoke_resource_operation_v2(std::uint8_t kind, std::string_view operation,
                                                       std::string_view arguments) override {
        return m_child->invoke_resource_operation_v2(kind, operation, arguments);
    }
    std::optional<kora_ui::ControlInvocation> take_control_invocation() override {
        return m_child->take_control_invocation();
    }

  private:
    kora_ui::WidgetPtr m_child;
};

// Applies one operation (the executor).
void execute(Presswick& state, Operation operation);

// The tree of `view` over the state, or nothing when the state cannot show it (no snapshot, no chosen
// document, a printer no longer listed).
[[nodiscard]] kora_ui::WidgetPtr compose(const Presswick& state, const ShownView& view);
// Composes `view` and installs it as the page showing; when it cannot be composed nothing changes.
bool show(Presswick& state, ShownView view);
// Composes the page showing again over the current state (after the snapshot or other data changed);
// a page that can no longer be shown gives way to the home view.
void recompose(Presswick& state);
// A refresh keeps the page showing instead of returning home: the print dialog with its document and
// the scan pages hold the user's work.
[[nodiscard]] bool refresh_keeps_page(const Presswick& state);

}  // namespace presswick::surface

namespace presswick::scan {
class PrintCopy;
}

namespace presswick {
using surface::DashboardCard;
using surface::Presswick;
}  // namespace presswick
