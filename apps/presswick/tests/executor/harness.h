// The headless world the executor tests run in: a scripted print service, a recording picker and
// clipboard, a spawn hook that records thread names and can refuse them, and helpers that drive
// update() the way the toolkit does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kora_ui/credentials.h"
#include "kora_ui/picker.h"
#include "kora_ui/testing.h"
#include "printing/scripted_service.h"
#include "surface/presswick.h"

namespace presswick::testing {

namespace printing = os_actions::printing;

// Answers each pick with the next scripted outcome (cancelled when none is left) and records the request.
// With hold() the picker thread waits until release(), so the pick stays pending; a withdrawn pick
// ends at once, cancelled, and takes no answer.
class RecordingPicker final : public kora_ui::PickerBackend {
  public:
    kora_ui::PickOutcome pick(const kora_ui::PickRequest& request) override;
    void answer(kora_ui::PickOutcome outcome);
    void answer_path(std::filesystem::path path) {
        answer({kora_ui::PickOutcome::Kind::path, std::move(path), {}});
    }
    void hold();
    void release();
    [[nodiscard]] std::vector<kora_ui::PickRequest> requests() const;

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<kora_ui::PickOutcome> m_answers;
    std::vector<kora_ui::PickRequest> m_requests;
    bool m_held = false;
};

// Answers each request for credentials with the next scripted answer (cancelled when none is left) and
// records the request.
class ScriptedCredentials final : public kora_ui::CredentialsBackend {
  public:
    kora_ui::CredentialsAnswer ask(const kora_ui::CredentialsRequest& request) override;
    void answer(kora_ui::CredentialsAnswer answer);
    [[nodiscard]] std::vector<kora_ui::CredentialsRequest> requests() const;

  private:
    mutable std::mutex m_mutex;
    std::deque<kora_ui::CredentialsAnswer> m_answers;
    std::vector<kora_ui::CredentialsRequest> m_requests;
};

class ExecutorTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A root without a refresh (as named surfaces make it), on the first-run view.
    [[nodiscard]] std::unique_ptr<Presswick> bare_root();
    // A root that has applied one snapshot of the scripted answers.
    [[nodiscard]] std::unique_ptr<Presswick> loaded_root();

    // Calls update until `done` holds; false after the bounded wait.
    bool pump_until(Presswick& state, const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Calls update until it reports a change; false after the bounded wait.
    bool pump_one(Presswick& state, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Applies every result that arrives until nothing has changed for `quiet`.
    void settle(Presswick& state, std::chrono::milliseconds quiet = std::chrono::milliseconds(150));

    [[nodiscard]] std::vector<std::string> spawned() const;
    [[nodiscard]] int spawned_count(const std::string& name) const;
    void refuse(const std::string& name);
    void allow_all();
    [[nodiscard]] std::vector<std::string> service_calls() const { return service->calls(); }
    // Waits until the service has recorded `call` (workers run on their own threads).
    bool wait_for_call(const std::string& call, std::chrono::milliseconds limit = std::chrono::seconds(5));
    [[nodiscard]] std::vector<std::string> clipboard() const;

    [[nodiscard]] static std::vector<std::string> texts(const Presswick& state);
    [[nodiscard]] static bool shows(const Presswick& state, std::string_view text);

    std::shared_ptr<printing::ScriptedService> service;
    std::shared_ptr<RecordingPicker> picker;
    std::shared_ptr<ScriptedCredentials> credentials;
    printing::ScriptedService::Answers answers;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_spawned;
    std::set<std::string> m_refused;
    std::vector<std::string> m_clipboard;
    std::shared_ptr<printing::Service> m_previous_service;
};

// Sample records.
[[nodiscard]] printing::PrintQueue queue(std::string name, bool is_default = false, bool accepting = true);
[[nodiscard]] printing::PrintJob job(std::string id, std::optional<printing::JobState> state,
                                     std::optional<std::string> title = std::nullopt);
[[nodiscard]] printing::Scanner scanner(std::string id, std::string name);
// A small page with its own buffers (so its own key); `tag` makes pages tell apart.
[[nodiscard]] ScannedPage page(std::uint8_t tag, std::uint32_t width = 2, std::uint32_t height = 2);

// Subtitles of the page headers: the view that is showing.
inline constexpr std::string_view kLoading = "Checking printers and documents";
inline constexpr std::string_view kFirstRun = "Print and scan without digging through settings";
inline constexpr std::string_view kQueue = "Every document, in one place";
inline constexpr std::string_view kHistory = "Documents retained by your print service";
inline constexpr std::string_view kDiagnostics = "Useful checks without printer jargon";
inline constexpr std::string_view kDiscovery = "Nearby printers appear automatically";
inline constexpr std::string_view kDevice = "Status, supplies, and controls";
inline constexpr std::string_view kPrintDialog = "Review the document and choose a printer";
inline constexpr std::string_view kScanSetup = "Choose the scanner and how this page should look";
inline constexpr std::string_view kScanResult = "Review the page before saving it";
// The dashboard: the app's own page, none of the others.
[[nodiscard]] bool is_dashboard(const Presswick& state);

}  // namespace presswick::testing
