// A whole window state driven the way a user drives it: operations in, update until a worker answered.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "kora_ui/picker.h"
#include "surface/presswick.h"

namespace presswick::scan_test {

// Answers every save picker with the next path queued by the test.
class QueuedPicker final : public kora_ui::PickerBackend {
  public:
    void answer_with(std::filesystem::path path) {
        std::lock_guard lock(m_mutex);
        m_paths.push_back(std::move(path));
    }
    kora_ui::PickOutcome pick(const kora_ui::PickRequest&) override {
        std::lock_guard lock(m_mutex);
        if (m_paths.empty()) {
            return {kora_ui::PickOutcome::Kind::cancelled, {}, {}};
        }
        auto path = m_paths.front();
        m_paths.erase(m_paths.begin());
        return {kora_ui::PickOutcome::Kind::path, std::move(path), {}};
    }

  private:
    std::mutex m_mutex;
    std::vector<std::filesystem::path> m_paths;
};

class ScanSession {
  public:
    // The scan surface opened with these scanners in the snapshot.
    explicit ScanSession(std::vector<os_actions::printing::Scanner> scanners);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    void run(Operation operation) { surface::execute(*state, std::move(operation)); }
    // Calls update until `done` holds; false on timeout.
    bool update_until(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(120));
    // ScanPage, then update until the outcome was applied.
    bool scan_page();
    // Opens the picker, answers it with `path` and waits for the writer's notice.
    bool save(Operation save_operation, std::filesystem::path path);

    std::unique_ptr<Presswick> state;
    std::shared_ptr<QueuedPicker> picker = std::make_shared<QueuedPicker>();

  private:
    std::shared_ptr<kora_ui::PickerBackend> m_previous_picker;
};

}  // namespace presswick::scan_test
