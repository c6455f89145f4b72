// The scan flow: opening, choosing a scanner, scanning, recognition, copying text, closing.
#include <algorithm>

#include "kora_ui/clipboard.h"
#include "kora_ui/translate.h"
#include "scan/scan_worker.h"
#include "surface/execute_internal.h"

namespace presswick::surface {

namespace {

std::uint16_t resolution_for(std::size_t index) {
    switch (index) {
        case 0:
            return 150;
        case 2:
            return 600;
        default:
            return 300;
    }
}

// The segmented controls list the choices in the enums' order.
template <class Choice>
Choice choice_of(std::size_t index) {
    return index == 1 || index == 2 ? static_cast<Choice>(index) : Choice{};
}

const os_actions::printing::Scanner* chosen_scanner(const Presswick& state) {
    if (!state.scan_scanner || !state.snapshot || !state.snapshot->scanners) {
        return nullptr;
    }
    for (const auto& scanner : *state.snapshot->scanners) {
        if (scanner.id == *state.scan_scanner) {
            return &scanner;
        }
    }
    return nullptr;
}

// A source the chosen scanner lacks falls back to the flatbed.
void keep_source_possible(Presswick& state) {
    const auto* scanner = chosen_scanner(state);
    using os_actions::printing::ScanSource;
    const auto source = choice_of<ScanSource>(state.scan_source.get());
    if (scanner && ((source == ScanSource::feeder && !scanner->has_feeder) ||
                    (source == ScanSource::two_sided && !scanner->has_two_sided))) {
        (void)state.scan_source.publish(0);
    }
}

// Leaving a scan that is still running cancels it in the scanner.
void stop_scanning(Presswick& state) {
    if (state.scan_stop) {
        state.scan_stop->request_stop();
        state.scan_stop.reset();
    }
    state.scanning = false;
}

Notice scan_failed() {
    return Notice{
        kora_ui::tr("Could not scan this page"),
        kora_ui::tr("Check that the scanner is connected and the paper is positioned, then try again."),
        false};
}

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    });
}

}  // namespace

void apply(Presswick& state, OpenScan) {
    state.notice.reset();
    // Pages not saved since their last change are kept: this is the only way back to them.
    const bool dropping = !state.has_unsaved_pages() && !state.pages.empty();
    if (!state.has_unsaved_pages()) {
        state.pages.clear();
        state.current_index = 0;
    }
    state.current_page.reset();
    stop_scanning(state);
    if (state.snapshot && state.snapshot->scanners && !state.snapshot->scanners->empty()) {
        state.scan_scanner = state.snapshot->scanners->front().id;
    } else {
        state.scan_scanner.reset();
    }
    keep_source_possible(state);
    install_scan_view(state);  // the old view held the last page too
    if (dropping) {
        state.return_memory = true;
    }
}

void apply(Presswick& state, ChooseScanner op) {
    state.scan_scanner = std::move(op.id);
    keep_source_possible(state);
    install_scan_view(state);
}

void apply(Presswick& state, ScanPage) {
    if (!state.scan_scanner) {
        return;
    }
    keep_source_possible(state);
    const auto& language = RecognitionLanguage::for_index(state.scan_language.get());
    scan::ScanRequest request{*state.scan_scanner,
                              os_actions::printing::ScanSettings{
                                  resolution_for(state.scan_resolution.get()),
                                  choice_of<os_actions::printing::ScanColourMode>(state.scan_colour.get()),
                                  choice_of<os_actions::printing::ScanSource>(state.scan_source.get())},
                              std::string(language.code), std::string(language.english_name),
                              ++state.scan_serial};
    // A press still running gives way to the new one.
    if (state.scan_stop) {
        state.scan_stop->request_stop();
    }
    state.scan_stop.emplace();
    state.scan_received = 0;
    state.scan_from_feeder = request.settings.source != os_actions::printing::ScanSource::flatbed;
    state.scanning = true;
    install_scan_view(state);
    (void)scan::start_scan_worker(state.operations_tx, std::move(request), state.scan_stop->get_token());
}

void apply(Presswick& state, PageScanned op) {
    const bool this_press = op.scan == state.scan_serial;
    // The rest of a press the user has left: its pages are kept (unsaved, so scanning shows them again),
    // without taking the window back to the scan.
    const bool left = op.more && (!this_press || !state.scan_stop);
    if (!op.more) {
        state.scanning = false;
    }
    if (!op.result) {
        if (!left) {
            state.notice = scan_failed();
        }
    } else {
        // The first page of a press is shown; later ones join the document behind it, so the first can be
        // looked at while the rest come in.
        const bool show = !left && (!op.more || state.scan_received == 0 || !state.current_page);
        state.pages.push_back(std::move(*op.result));
        note_pages_changed(state);
        if (show) {
            make_current(state, state.pages.size() - 1);
        } else {
            refresh_current_copy(state);
        }
    }
    if (this_press) {
        ++state.scan_received;
    }
    if (left) {
        return;
    }
    install_scan_view(state);
}

void apply(Presswick& state, StopScan) {
    if (state.scan_stop) {
        state.scan_stop->request_stop();
    }
}

void apply(Presswick& state, ScanEnded op) {
    if (op.scan != state.scan_serial || !state.scan_stop) {
        return;  // a press that was left or replaced
    }
    state.scanning = false;
    state.scan_stop.reset();
    if (!op.end) {
        if (state.scan_received == 0) {
            state.notice = scan_failed();
        }
    } else if (*op.end == os_actions::printing::ScanEnd::feeder_empty) {
        state.notice = Notice{kora_ui::tr("The document feeder is empty"),
                              kora_ui::tr("Put the pages in the feeder, then scan again."), false};
    }
    install_scan_view(state);
}

void apply(Presswick& state, ScanAnother) {
    state.notice.reset();
    state.print_copy_making = false;
    state.current_page.reset();
    install_scan_view(state);
}

void apply(Presswick& state, ShowPages) {
    if (state.pages.empty()) {
        return;
    }
    state.notice.reset();
    make_current(state, std::min<std::size_t>(state.current_index, state.pages.size() - 1));
    install_scan_view(state);
}

void apply(Presswick& state, CloseScan) {
    state.current_page.reset();
    stop_scanning(state);
    state.print_copy_making = false;
    // Back from the print dialog of the scanned document: its copy goes.
    if (std::exchange(state.print_copy, nullptr)) {
        state.print_document.reset();
        state.preview = PrintPreview::unavailable();
        state.preview_rx.reset();
    }
    install_home(state);
}

void apply(Presswick& state, CopyText) {
    if (!state.current_page || !state.current_page->text || blank(*state.current_page->text)) {
        return;
    }
    kora_ui::text_selection::clipboard_copy(*state.current_page->text);
    state.notice =
        Notice{kora_ui::tr("Text copied"), kora_ui::tr("Paste the recognized text into any app."), true};
    install_scan_view(state);
}

void apply(Presswick& state, RecognizePage) {
    if (!has_page(state, state.current_index) || state.pages[state.current_index].recognizing) {
        return;
    }
    auto& page = state.pages[state.current_index];
    page.recognizing = true;
    refresh_current_copy(state);
    install_scan_view(state);
    (void)scan::start_recognition_worker(state.operations_tx, page);
}

void apply(Presswick& state, PageRecognized op) {
    if (op.key == nullptr) {
        return;  // no buffer, so no page it could belong to
    }
    const auto found = std::find_if(state.pages.begin(), state.pages.end(),
                                    [&op](const ScannedPage& page) { return page.key() == op.key; });
    if (found == state.pages.end()) {
        return;
    }
    if (!op.result) {
        found->recognizing = false;
        state.notice = Notice{kora_ui::tr("Text was not updated"), std::move(op.result.error()), false};
    } else {
        found->text = std::move(op.result->text);
        found->words = std::move(op.result->words);
        found->status = std::move(op.result->status);
        found->text_stale = false;
        found->recognizing = false;
        note_pages_changed(state);
    }
    if (static_cast<std::size_t>(found - state.pages.begin()) == state.current_index && state.current_page) {
        refresh_current_copy(state);
    }
    install_scan_view(state);
}

}  // namespace presswick::surface
