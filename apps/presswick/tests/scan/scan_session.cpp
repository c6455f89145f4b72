#include "scan_session.h"

#include <thread>

#include "kora_ui/widgets.h"

namespace presswick::scan_test {

ScanSession::ScanSession(std::vector<os_actions::printing::Scanner> scanners)
    : state(std::make_unique<Presswick>(kora_ui::boxed(kora_ui::Column()))) {
    m_previous_picker = kora_ui::set_picker_backend(picker);
    state->snapshot = DeviceSnapshot{std::vector<os_actions::printing::PrintQueue>{},
                                     std::vector<os_actions::printing::PrintJob>{}, std::move(scanners)};
    run(OpenScan{});
}

ScanSession::~ScanSession() {
    kora_ui::set_picker_backend(m_previous_picker);
}

bool ScanSession::update_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    kora_ui::UpdateContext context;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        ++context.frame;
        (void)state->update(context);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool ScanSession::scan_page() {
    run(ScanPage{});
    return state->scanning && update_until([this] { return !state->scanning; });
}

bool ScanSession::save(Operation save_operation, std::filesystem::path path) {
    picker->answer_with(std::move(path));
    state->notice.reset();
    run(std::move(save_operation));
    return state->save_pick.has_value() && update_until([this] { return state->notice.has_value(); });
}

}  // namespace presswick::scan_test
