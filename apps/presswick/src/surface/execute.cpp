// The executor's entry, the page helpers and the collection order of update.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/utf8.h"
#include "surface/execute_internal.h"

namespace presswick::surface {

void execute(Presswick& state, Operation operation) {
    std::visit([&state](auto&& op) { apply(state, std::move(op)); }, std::move(operation));
}

bool has_page(const Presswick& state, std::size_t index) {
    return index < state.pages.size();
}

void refresh_current_copy(Presswick& state) {
    if (has_page(state, state.current_index)) {
        state.current_page = state.pages[state.current_index];
    } else {
        state.current_page.reset();
    }
}

void make_current(Presswick& state, std::size_t index) {
    state.current_index = index;
    refresh_current_copy(state);
    (void)state.crop_selection.publish(kora_ui::CropSelection::whole());
}

void begin_refresh(Presswick& state) {
    state.refresh_rx.reset();
    // A full read covers whatever was reported so far; a quiet update still running would be older.
    state.update_rx.reset();
    state.changes_waiting.reset();
    state.refresh_rx = start_refresh();
}

std::string file_name_or(const std::filesystem::path& path, const std::string& fallback) {
    auto name = path.filename().string();
    if (name.empty() || name == "." || name == ".." || !base::utf8::is_valid(name)) {
        return fallback;
    }
    return name;
}

std::uint16_t copies_for_printing(double value) {
    const double clamped = std::isnan(value) ? value : std::clamp(value, 1.0, 99.0);
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.0f", clamped);
    const std::string text(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    std::uint16_t copies = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), copies);
    if (error != std::errc() || end != text.data() + text.size()) {
        return 1;
    }
    return copies;
}

bool collect_one_result(Presswick& state) {
    // 1. The document picker: empty moves on; a disconnected channel is a failure.
    if (state.document_pick) {
        auto poll = state.document_pick->try_take();
        if (poll.kind != kora_ui::PickPoll::Kind::pending) {
            state.document_pick.reset();
            apply_document_pick(state, std::move(poll));
            return true;
        }
    }
    // 2. The preview: a value or a disconnected channel.
    if (state.preview_rx) {
        auto got = state.preview_rx->try_recv();
        if (got.status == kora_ui::RecvStatus::value) {
            apply_preview(state, std::move(*got.value));
            return true;
        }
        if (got.status == kora_ui::RecvStatus::disconnected) {
            apply_preview(state, std::nullopt);
            return true;
        }
    }
    // 3. The save picker.
    if (state.save_pick) {
        auto poll = state.save_pick->try_take();
        if (poll.kind != kora_ui::PickPoll::Kind::pending) {
            state.save_pick.reset();
            apply_save_pick(state, std::move(poll));
            return true;
        }
    }
    // 4. The print server's question for credentials.
    if (state.credentials_ask) {
        auto answer = state.credentials_ask->try_take();
        if (answer.kind != kora_ui::CredentialsAnswer::Kind::pending) {
            state.credentials_ask.reset();
            apply_credentials(state, std::move(answer));
            return true;
        }
    }
    // 5. The refresh: empty and disconnected alike leave it pending.
    if (state.refresh_rx) {
        auto got = state.refresh_rx->try_recv();
        if (got.status == kora_ui::RecvStatus::value) {
            apply_snapshot(state, std::move(*got.value));
            return true;
        }
    }
    // 5b. The quiet update; one that ended without a snapshot lets the next one start.
    if (state.update_rx) {
        auto got = state.update_rx->try_recv();
        if (got.status == kora_ui::RecvStatus::value) {
            apply_update(state, std::move(*got.value));
            return true;
        }
        if (got.status == kora_ui::RecvStatus::disconnected) {
            state.update_rx.reset();
            start_waiting_update(state);
        }
    }
    // 5c. What the print server reported changed, all of it at once.
    if (state.changes_rx) {
        std::optional<os_actions::printing::Changes> reported;
        for (auto got = state.changes_rx->try_recv(); got.status == kora_ui::RecvStatus::value;
             got = state.changes_rx->try_recv()) {
            if (!reported) {
                reported = std::move(*got.value);
            } else {
                reported->merge(*got.value);
            }
        }
        if (reported) {
            apply_changes(state, std::move(*reported));
            return true;
        }
    }
    // 5d. A desktop notification the user chose: the page that shows its thing.
    if (state.chosen_rx) {
        auto got = state.chosen_rx->try_recv();
        if (got.status == kora_ui::RecvStatus::value) {
            apply_chosen(state, *got.value);
            return true;
        }
    }
    // 6. One operation.
    auto got = state.operations_rx.try_recv();
    if (got.status == kora_ui::RecvStatus::value) {
        execute(state, std::move(*got.value));
        return true;
    }
    return false;
}

}  // namespace presswick::surface
