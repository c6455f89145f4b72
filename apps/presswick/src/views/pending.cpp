// Headers only, until each surface has its own builder file; each builder moves out of here then.
#include "kora_ui/widgets.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace presswick::views {

namespace {
kora_ui::WidgetPtr header_only(std::string title, std::string subtitle) {
    return kora_ui::boxed(kora_ui::Column()
                              .push(kora_ui::Text(std::move(title), 28))
                              .push(kora_ui::Text(std::move(subtitle), 13)));
}
}  // namespace

kora_ui::WidgetPtr build_loading_view() {
    return header_only("Presswick", "Checking printers and documents");
}
kora_ui::WidgetPtr build_first_run_view() {
    return header_only("Presswick", "Print and scan without digging through settings");
}
kora_ui::WidgetPtr build_dashboard_view(const DeviceSnapshot&, const Presswick&,
                                        const std::optional<Notice>&) {
    return header_only("Presswick", "");
}
kora_ui::WidgetPtr build_queue_view(const DeviceSnapshot&, const Presswick&,
                                    const std::optional<std::string>&, const std::optional<Notice>&) {
    return header_only("Print queue", "Every document, in one place");
}
kora_ui::WidgetPtr build_device_view(const os_actions::printing::PrintQueue& printer, const Presswick&) {
    return header_only(printer.name, "Status, supplies, and controls");
}
kora_ui::WidgetPtr build_history_view(const DeviceSnapshot&, const Presswick&) {
    return header_only("Print history", "Documents retained by your print service");
}
kora_ui::WidgetPtr build_diagnostics_view(const DeviceSnapshot&, const Presswick&) {
    return header_only("Device help", "Useful checks without printer jargon");
}
kora_ui::WidgetPtr build_discovery_view(const std::optional<DiscoveryResult>&, const Presswick&) {
    return header_only("Add a printer", "Nearby printers appear automatically");
}
kora_ui::WidgetPtr build_print_view(const DeviceSnapshot&, const std::filesystem::path&, const PrintPreview&,
                                    const std::optional<std::string>&, const Presswick&) {
    return header_only("Print a document", "Review the document and choose a printer");
}
}  // namespace presswick::views
