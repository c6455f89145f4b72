// The scan setup and result pages.
#include "kora_ui/widgets.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace presswick::views {

kora_ui::WidgetPtr build_scan_view(const DeviceSnapshot&, const Presswick& state) {
    auto header = [](std::string title, std::string subtitle) {
        return kora_ui::boxed(kora_ui::Column()
                                  .push(kora_ui::Text(std::move(title), 28))
                                  .push(kora_ui::Text(std::move(subtitle), 13)));
    };
    return state.current_page ? header("Scanned document", "Review the page before saving it")
                              : header("Scan a document", "Choose the scanner and how this page should look");
}

}  // namespace presswick::views
