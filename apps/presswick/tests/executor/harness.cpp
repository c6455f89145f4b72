#include "harness.h"

#include <thread>

#include "kora_ui/clipboard.h"
#include "kora_ui/thread.h"
#include "views/views.h"

namespace presswick::testing {

kora_ui::PickOutcome RecordingPicker::pick(const kora_ui::PickRequest& request) {
    std::unique_lock lock(m_mutex);
    m_requests.push_back(request);
    // Held like a picker nobody answers, until released or withdrawn by its asker (as a dialog closed
    // by the program would end).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_held && !request.withdrawal()->withdrawn() && std::chrono::steady_clock::now() < deadline) {
        m_cv.wait_for(lock, std::chrono::milliseconds(5));
    }
    if (request.withdrawal()->withdrawn() || m_answers.empty()) {
        return {kora_ui::PickOutcome::Kind::cancelled, {}, {}};
    }
    auto outcome = std::move(m_answers.front());
    m_answers.pop_front();
    return outcome;
}

void RecordingPicker::answer(kora_ui::PickOutcome outcome) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(std::move(outcome));
}

void RecordingPicker::hold() {
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void RecordingPicker::release() {
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_cv.notify_all();
}

kora_ui::CredentialsAnswer ScriptedCredentials::ask(const kora_ui::CredentialsRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (m_answers.empty()) {
        return {kora_ui::CredentialsAnswer::Kind::cancelled, {}, {}, {}};
    }
    auto answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

void ScriptedCredentials::answer(kora_ui::CredentialsAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(std::move(answer));
}

std::vector<kora_ui::CredentialsRequest> ScriptedCredentials::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<kora_ui::PickRequest> RecordingPicker::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ExecutorTest::SetUp() {
    service = std::make_shared<printing::ScriptedService>();
    m_previous_service = printing::install_service(service);
    picker = std::make_shared<RecordingPicker>();
    (void)kora_ui::set_picker_backend(picker);
    credentials = std::make_shared<ScriptedCredentials>();
    (void)kora_ui::set_credentials_backend(credentials);
    printing::forget_server_credentials();
    (void)kora_ui::text_selection::set_clipboard_backend([this](const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_clipboard.push_back(text);
    });
    kora_ui::set_spawn_hook([this](std::string_view name) {
        std::lock_guard lock(m_mutex);
        m_spawned.emplace_back(name);
        return !m_refused.contains(std::string(name));
    });
}

void ExecutorTest::TearDown() {
    picker->release();
    // Workers a test set off (a refresh after printing, say) must finish against the scripted service,
    // not the real one installed after it.
    EXPECT_TRUE(kora_ui::wait_for_named_threads(std::chrono::seconds(10))) << "a worker outlived its test";
    kora_ui::set_spawn_hook(nullptr);
    (void)kora_ui::text_selection::set_clipboard_backend(nullptr);
    (void)kora_ui::set_picker_backend(nullptr);
    (void)kora_ui::set_credentials_backend(nullptr);
    printing::forget_server_credentials();
    (void)printing::install_service(m_previous_service);
}

std::unique_ptr<Presswick> ExecutorTest::bare_root() {
    return std::make_unique<Presswick>(views::build_first_run_view());
}

std::unique_ptr<Presswick> ExecutorTest::loaded_root() {
    service->script(answers);
    auto root = Presswick::new_default_root();
    EXPECT_TRUE(pump_until(*root, [&] { return root->snapshot.has_value(); }));
    service->clear_calls();
    return root;
}

bool ExecutorTest::pump_until(Presswick& state, const std::function<bool()>& done,
                              std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    kora_ui::UpdateContext context;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (!state.update(context)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

bool ExecutorTest::pump_one(Presswick& state, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    kora_ui::UpdateContext context;
    while (!state.update(context)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void ExecutorTest::settle(Presswick& state, std::chrono::milliseconds quiet) {
    kora_ui::UpdateContext context;
    auto last_change = std::chrono::steady_clock::now();
    const auto deadline = last_change + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() - last_change < quiet &&
           std::chrono::steady_clock::now() < deadline) {
        if (state.update(context)) {
            last_change = std::chrono::steady_clock::now();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

std::vector<std::string> ExecutorTest::spawned() const {
    std::lock_guard lock(m_mutex);
    return m_spawned;
}

int ExecutorTest::spawned_count(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count(m_spawned.begin(), m_spawned.end(), name));
}

void ExecutorTest::refuse(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_refused.insert(name);
}

void ExecutorTest::allow_all() {
    std::lock_guard lock(m_mutex);
    m_refused.clear();
}

bool ExecutorTest::wait_for_call(const std::string& call, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto calls = service->calls();
        if (std::find(calls.begin(), calls.end(), call) != calls.end()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::vector<std::string> ExecutorTest::clipboard() const {
    std::lock_guard lock(m_mutex);
    return m_clipboard;
}

std::vector<std::string> ExecutorTest::texts(const Presswick& state) {
    return kora_ui::testing::collect_texts(state);
}

bool ExecutorTest::shows(const Presswick& state, std::string_view text) {
    return kora_ui::testing::contains_text(state, text);
}

bool is_dashboard(const Presswick& state) {
    for (auto subtitle : {kLoading, kFirstRun, kQueue, kHistory, kDiagnostics, kDiscovery, kDevice,
                          kPrintDialog, kScanSetup, kScanResult}) {
        if (kora_ui::testing::contains_text(state, subtitle)) {
            return false;
        }
    }
    return kora_ui::testing::contains_text(state, "Presswick");
}

printing::PrintQueue queue(std::string name, bool is_default, bool accepting) {
    printing::PrintQueue q;
    q.name = std::move(name);
    q.is_default = is_default;
    q.accepting = accepting;
    q.state = accepting ? printing::QueueState::idle : printing::QueueState::paused;
    return q;
}

printing::PrintJob job(std::string id, std::optional<printing::JobState> state,
                       std::optional<std::string> title) {
    printing::PrintJob j;
    j.queue = id.substr(0, id.rfind('-'));
    j.id = std::move(id);
    j.state = state;
    j.title = std::move(title);
    j.time = std::chrono::system_clock::now();
    return j;
}

printing::Scanner scanner(std::string id, std::string name) {
    return {std::move(id), std::move(name)};
}

ScannedPage page(std::uint8_t tag, std::uint32_t width, std::uint32_t height) {
    ScannedPage p;
    p.status = "Recognized 1 words.";
    p.language = "English";
    p.text = "page " + std::to_string(tag);
    p.encoded = std::make_shared<const std::vector<std::uint8_t>>(
        std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', tag});
    p.pixels = std::make_shared<const std::vector<std::uint8_t>>(std::size_t{width} * height * 4, tag);
    p.width = width;
    p.height = height;
    return p;
}

}  // namespace presswick::testing
