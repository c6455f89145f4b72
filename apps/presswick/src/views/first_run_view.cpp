// The loading and first-run views: no application data, plain columns, no frame.
#include "views/common.h"
#include "views/views.h"

namespace presswick::views {

using namespace kora_ui;

WidgetPtr build_loading_view() {
    return boxed(
        Column()
            .push(app_header(tr("Checking printers and documents")))
            .push(Spacer(32))
            .push(card(
                tr("Getting things ready"),
                boxed(Column()
                          .push(body_text(tr("Looking for printers, scanners, and unfinished documents.")))
                          .push(Spacer(16))
                          .push(ProgressBar::indeterminate().with_accessible_label(
                              tr("Loading Presswick")))))));
}

WidgetPtr build_first_run_view() {
    return boxed(
        Column()
            .push(app_header(tr("Print and scan without digging through settings")))
            .push(Spacer(36))
            .push(
                card(tr("Set up your first printer"),
                     boxed(Column()
                               .push(Text(tr("Nearby printers appear automatically"), text_size::card_title))
                               .push(body_text(
                                   tr("Choose Find printers and we’ll guide you. Drivers and network details "
                                      "stay out of the way unless you need them.")))
                               .push(Spacer(18))
                               .push(Row()
                                         .push(plain_button("presswick.add.first", tr("Find printers")))
                                         .push(plain_button("presswick.help", tr("Connection help")))))))
            .push(Spacer(18))
            .push(card(
                tr("Already have a document?"),
                boxed(body_text(tr("Open it and choose Print, or drop it here to preview pages and finishing "
                                   "options before anything is sent."))))));
}

}  // namespace presswick::views
