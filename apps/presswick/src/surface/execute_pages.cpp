// Page operations on the scanned document: moving between pages, reordering, deleting, rotating, cropping.
#include <algorithm>
#include <utility>

#include "kora_ui/translate.h"
#include "scan/page_editing.h"
#include "surface/execute_internal.h"

namespace presswick::surface {

void apply(Presswick& state, PreviousPage) {
    make_current(state, state.current_index > 0 ? state.current_index - 1 : 0);
    install_scan_view(state);
}

void apply(Presswick& state, NextPage) {
    const auto next = state.current_index + 1;
    make_current(state, has_page(state, next) ? next : state.current_index);
    install_scan_view(state);
}

void apply(Presswick& state, MovePageEarlier) {
    const auto index = state.current_index;
    if (index > 0 && has_page(state, index)) {
        std::swap(state.pages[index], state.pages[index - 1]);
        note_pages_changed(state);
        make_current(state, index - 1);
    } else if (index > 0) {
        // Nothing to move at an invalid position; it still becomes the page before.
        make_current(state, index - 1);
    } else {
        make_current(state, 0);
    }
    install_scan_view(state);
}

void apply(Presswick& state, MovePageLater) {
    const auto index = state.current_index;
    if (has_page(state, index + 1)) {
        std::swap(state.pages[index], state.pages[index + 1]);
        note_pages_changed(state);
        make_current(state, index + 1);
    } else {
        make_current(state, index);
    }
    install_scan_view(state);
}

void apply(Presswick& state, DeletePage) {
    if (has_page(state, state.current_index)) {
        state.pages.erase(state.pages.begin() + static_cast<std::ptrdiff_t>(state.current_index));
        note_pages_changed(state);
    }
    make_current(
        state, state.pages.empty() ? 0 : std::min<std::size_t>(state.current_index, state.pages.size() - 1));
    install_scan_view(state);
    state.return_memory = true;
}

void apply(Presswick& state, RotatePage op) {
    if (!has_page(state, state.current_index)) {
        install_scan_view(state);
        return;
    }
    auto& page = state.pages[state.current_index];
    if (auto rotated = scan::rotate_page(page, op.counter_clockwise); !rotated) {
        state.notice = Notice{kora_ui::tr("Could not rotate this page"), std::move(rotated.error()), false};
    } else {
        note_pages_changed(state);
        refresh_current_copy(state);
        state.notice.reset();
    }
    install_scan_view(state);
    state.return_memory = true;  // the page's old buffers
}

void apply(Presswick& state, CropPage) {
    const auto selection = state.crop_selection.get();
    if (selection == kora_ui::CropSelection::whole()) {
        return;
    }
    if (!has_page(state, state.current_index)) {
        install_scan_view(state);
        return;
    }
    auto& page = state.pages[state.current_index];
    if (auto cropped = scan::crop_page(page, selection); !cropped) {
        state.notice = Notice{kora_ui::tr("Could not crop this page"), std::move(cropped.error()), false};
    } else {
        note_pages_changed(state);
        refresh_current_copy(state);
        (void)state.crop_selection.publish(kora_ui::CropSelection::whole());
        state.notice.reset();
    }
    install_scan_view(state);
    state.return_memory = true;
}

}  // namespace presswick::surface
