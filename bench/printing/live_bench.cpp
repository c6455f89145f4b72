// Live updates at office scale: the real window (offscreen Qt host over the real print service) on the
// queue page of a large server while a driver thread makes a steady stream of job events (holding and
// releasing documents on paused queues). Run twice in one process: once as the program works (the
// changed records read alone), once with every update reading the whole lists (a full refresh per
// update), the baseline. Reports the window's CPU time (the driver's own taken out), the requests sent
// to the print server per event (counted in its access log), the longest time the window's thread was
// busy with one event, and the time from an event to the window showing it.
//   live_bench ACCESS_LOG [SECONDS] [EVENTS_PER_SECOND]
#include <cups/cups.h>
#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qt/host.h"
#include "surface/presswick.h"

namespace {

namespace printing = os_actions::printing;
using Clock = std::chrono::steady_clock;

double cpu_seconds(const timeval& user, const timeval& system) {
    return static_cast<double>(user.tv_sec + system.tv_sec) + (user.tv_usec + system.tv_usec) / 1e6;
}

double process_cpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpu_seconds(usage.ru_utime, usage.ru_stime);
}

double thread_cpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// The print server's requests the window made, from its access log (the driver only holds and releases).
long window_requests(const std::string& access_log) {
    std::ifstream in(access_log);
    std::string line;
    long count = 0;
    while (std::getline(in, line)) {
        if (line.find("Hold-Job") == std::string::npos && line.find("Release-Job") == std::string::npos &&
            line.find("\"POST ") != std::string::npos) {
            ++count;
        }
    }
    return count;
}

struct Job {
    std::string id;  // as the records name it
    std::string uri;
    int number = 0;
    bool held = true;
};

std::vector<Job> held_jobs() {
    std::vector<Job> jobs;
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr);
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    const char* wanted[] = {"job-id", "job-printer-uri", "job-state"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    Job job;
    auto flush = [&] {
        if (job.number > 0 && !job.uri.empty()) {
            job.id = job.uri.substr(job.uri.rfind('/') + 1) + "-" + std::to_string(job.number);
            jobs.push_back(job);
        }
        job = {};
    };
    for (auto* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const std::string name = ippGetName(a) ? ippGetName(a) : "";
        if (name.empty()) {
            flush();
        } else if (name == "job-id") {
            job.number = ippGetInteger(a, 0);
        } else if (name == "job-printer-uri") {
            job.uri = ippGetString(a, 0, nullptr);
        } else if (name == "job-state") {
            job.held = ippGetInteger(a, 0) == IPP_JSTATE_HELD;
        }
    }
    flush();
    ippDelete(response);
    httpClose(http);
    return jobs;
}

// What an event should make the window show: the job in its new state, since when.
struct Expected {
    printing::JobState state = printing::JobState::unknown;
    Clock::time_point sent;
};

struct Shared {
    std::mutex mutex;
    std::map<std::string, Expected> waiting;  // by job id
    std::vector<double> latencies_ms;
    long events = 0;
    long unseen = 0;  // replaced before the window showed them
};

// Holds or releases the next job every period, on its own connection.
void drive(std::vector<Job> jobs, Shared& shared, int per_second, Clock::time_point until, double& own_cpu) {
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr);
    const auto period = std::chrono::microseconds(1'000'000 / per_second);
    auto next = Clock::now();
    for (std::size_t i = 0; Clock::now() < until; ++i) {
        auto& job = jobs[i % jobs.size()];
        const bool release = job.held;
        ipp_t* request = ippNewRequest(release ? IPP_OP_RELEASE_JOB : IPP_OP_HOLD_JOB);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, job.uri.c_str());
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job.number);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        {
            std::lock_guard lock(shared.mutex);
            if (shared.waiting.contains(job.id)) {
                ++shared.unseen;
            }
            shared.waiting[job.id] = {
                release ? printing::JobState::waiting : printing::JobState::needs_attention, Clock::now()};
            ++shared.events;
        }
        ippDelete(cupsDoRequest(http, request, "/jobs/"));
        job.held = !release;
        next += period;
        std::this_thread::sleep_until(next);
    }
    httpClose(http);
    own_cpu = thread_cpu();
}

// Times every event the window's thread handles, and checks after each whether a new tree shows jobs
// the driver changed.
class TimedApplication final : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const auto start = Clock::now();
        const bool handled = QApplication::notify(receiver, event);
        const auto end = Clock::now();
        longest = std::max(longest, end - start);
        if (root && root->content.get() != last_content) {
            last_content = root->content.get();
            look(end);
        }
        return handled;
    }
    void look(Clock::time_point now) {
        if (!root->snapshot || !root->snapshot->jobs) {
            return;
        }
        std::lock_guard lock(shared->mutex);
        for (const auto& job : *root->snapshot->jobs) {
            auto it = shared->waiting.find(job.id);
            if (it != shared->waiting.end() && job.state == it->second.state) {
                shared->latencies_ms.push_back(
                    std::chrono::duration<double, std::milli>(now - it->second.sent).count());
                shared->waiting.erase(it);
            }
        }
    }
    presswick::Presswick* root = nullptr;
    const kora_ui::Widget* last_content = nullptr;
    Shared* shared = nullptr;
    Clock::duration longest{};
};

// Reads the whole lists for every update, as a refresh per event would.
class FullReads final : public printing::Service {
  public:
    explicit FullReads(std::shared_ptr<printing::Service> real) : m_real(std::move(real)) {}
    printing::Result<std::vector<printing::PrintQueue>> queues() override { return m_real->queues(); }
    printing::Result<std::vector<printing::PrintJob>> jobs() override { return m_real->jobs(); }
    printing::Result<std::vector<printing::Scanner>> scanners() override { return m_real->scanners(); }
    printing::Result<std::vector<printing::DriverlessPrinter>> discover_driverless() override { return {}; }
    printing::OperationResult add_driverless(const std::string&, const std::string&) override { return {}; }
    printing::OperationResult set_default(const std::string&) override { return {}; }
    printing::OperationResult set_enabled(const std::string&, bool) override { return {}; }
    printing::OperationResult cancel_job(const std::string&) override { return {}; }
    printing::OperationResult retry_job(const std::string&) override { return {}; }
    printing::Result<printing::PrinterOptions> printer_options(const std::string& queue) override {
        return m_real->printer_options(queue);
    }
    printing::OperationResult print_document(const std::string&, const std::filesystem::path&,
                                             const printing::JobOptions&,
                                             std::optional<std::uint32_t>) override {
        return {};
    }
    printing::Result<printing::Bytes> scan_page(const std::string&, const printing::ScanSettings&) override {
        return std::unexpected(std::string("no scanning here"));
    }
    std::unique_ptr<printing::Watch> watch(printing::ChangesCallback on_change) override {
        return m_real->watch(std::move(on_change));
    }

  private:
    std::shared_ptr<printing::Service> m_real;
};

struct Figures {
    double cpu_s = 0, core_share = 0, requests_per_event = 0, longest_ms = 0, median_ms = 0, p95_ms = 0;
    long events = 0, shown = 0, unseen = 0;
};

Figures run(TimedApplication& app, const std::string& access_log, int seconds, int per_second) {
    Shared shared;
    app.shared = &shared;
    kora_ui::qt::Host host(presswick::Presswick::new_default_root());
    auto& root = dynamic_cast<presswick::Presswick&>(host.root());
    app.root = &root;
    host.resize(1280, 800);
    host.show();
    // Settle: the first refresh arrives, then the queue page is shown.
    const auto settle_until = Clock::now() + std::chrono::seconds(20);
    while (!root.snapshot && Clock::now() < settle_until) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    presswick::surface::execute(root, presswick::ShowQueue{});
    host.request_update();
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    QApplication::processEvents();

    auto jobs = held_jobs();
    std::fprintf(stderr, "held documents: %zu; the window lists %zu printers and %zu documents\n",
                 jobs.size(), root.snapshot && root.snapshot->printers ? root.snapshot->printers->size() : 0,
                 root.snapshot && root.snapshot->jobs ? root.snapshot->jobs->size() : 0);
    if (root.snapshot && root.snapshot->jobs && !root.snapshot->jobs->empty() && !jobs.empty()) {
        std::fprintf(
            stderr, "e.g. %s (state %d) driven as %s\n", root.snapshot->jobs->front().id.c_str(),
            static_cast<int>(root.snapshot->jobs->front().state.value_or(printing::JobState::unknown)),
            jobs.front().id.c_str());
    }
    if (jobs.empty()) {
        std::fprintf(stderr, "no held documents to drive events with\n");
        std::exit(2);
    }
    const long requests_before = window_requests(access_log);
    const double cpu_before = process_cpu();
    app.longest = {};
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    double driver_cpu = 0;
    std::thread driver(drive, std::move(jobs), std::ref(shared), per_second, until, std::ref(driver_cpu));
    QTimer::singleShot(std::chrono::seconds(seconds + 3), &app, [] { QApplication::quit(); });
    QApplication::exec();
    driver.join();
    Figures f;
    f.cpu_s = process_cpu() - cpu_before - driver_cpu;
    f.core_share = f.cpu_s / (seconds + 3);
    f.longest_ms = std::chrono::duration<double, std::milli>(app.longest).count();
    std::lock_guard lock(shared.mutex);
    f.events = shared.events;
    f.unseen = shared.unseen + static_cast<long>(shared.waiting.size());
    f.shown = static_cast<long>(shared.latencies_ms.size());
    f.requests_per_event = static_cast<double>(window_requests(access_log) - requests_before) /
                           static_cast<double>(std::max(1L, f.events));
    auto& l = shared.latencies_ms;
    std::ranges::sort(l);
    if (!l.empty()) {
        f.median_ms = l[l.size() / 2];
        f.p95_ms = l[std::min(l.size() - 1, l.size() * 95 / 100)];
    }
    app.root = nullptr;
    app.shared = nullptr;
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf("| %-28s | %7.2f s | %5.1f %% | %6.2f | %8.1f ms | %7.0f ms | %7.0f ms | %5ld / %5ld |\n",
                name, f.cpu_s, f.core_share * 100, f.requests_per_event, f.longest_ms, f.median_ms, f.p95_ms,
                f.shown, f.events);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: live_bench ACCESS_LOG [SECONDS] [EVENTS_PER_SECOND]\n");
        return 2;
    }
    const std::string access_log = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int per_second = argc > 3 ? std::atoi(argv[3]) : 20;
    if (!std::getenv("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    TimedApplication app(argc, argv);
    const auto real = printing::installed_service();
    const auto live = run(app, access_log, seconds, per_second);
    (void)printing::install_service(std::make_shared<FullReads>(real));
    const auto full = run(app, access_log, seconds, per_second);
    std::printf("%d s of %d job events per second, window on the print queue\n", seconds, per_second);
    std::printf("| %-28s | %9s | %7s | %6s | %11s | %10s | %10s | %13s |\n", "", "CPU", "of core", "req/ev",
                "longest stall", "median", "p95", "shown/events");
    print("changed records read alone", live);
    print("full refresh per update", full);
    const double ratio = live.cpu_s > 0 ? full.cpu_s / live.cpu_s : 0;
    std::printf(
        "CPU ratio full / live: %.1f (at least 5); live: %.1f %% of a core (at most 10), p95 %.0f ms "
        "(under 2000)\n",
        ratio, live.core_share * 100, live.p95_ms);
    return ratio >= 5 && live.core_share <= 0.10 && live.p95_ms < 2000 ? 0 : 1;
}
