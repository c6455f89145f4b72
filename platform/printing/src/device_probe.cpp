#include "device_probe.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "cups_auth.h"
#include "cups_handles.h"

namespace os_actions::printing::cups::probe {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int connect_timeout_ms = 1500;                 // within the deadline, so a dead address is known
constexpr auto forget_after = std::chrono::minutes(10);  // addresses nobody asked about lately

// Asks the device behind a network queue for its state and identity.
Answer ask_device(const std::string& device_uri) {
    Answer answer;
    const Destination dest(cupsGetDestWithURI(nullptr, device_uri.c_str()));
    if (!dest) {
        return answer;
    }
    char resource[1024] = "/";
    int cancel = 0;
    Http http(cupsConnectDest(dest.get(), CUPS_DEST_FLAGS_DEVICE, connect_timeout_ms, &cancel, resource,
                              sizeof resource, nullptr, nullptr));
    if (!http) {
        return answer;
    }
    httpSetTimeout(http.get(), connect_timeout_ms / 1000.0, nullptr, nullptr);
    char host[256];
    httpGetHostname(http.get(), host, sizeof host);
    char uri[1024];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, host,
                    httpAddrPort(httpGetAddress(http.get())), resource);
    Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"printer-state", "printer-uuid", "printer-dns-sd-name",
                                         "printer-name"};
    ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  wanted);
    Ipp response(cupsDoRequest(http.get(), request.release(), resource));
    answer.answered = response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    if (answer.answered) {
        auto text = [&](const char* name) {
            const char* value =
                ippGetString(ippFindAttribute(response.get(), name, IPP_TAG_ZERO), 0, nullptr);
            return std::string(value ? value : "");
        };
        answer.uuid = text("printer-uuid");
        answer.service_name = text("printer-dns-sd-name");
        if (answer.service_name.empty()) {
            answer.service_name = text("printer-name");
        }
    }
    return answer;
}

struct Entry {
    std::optional<Answer> answer;
    Clock::time_point checked;
    Clock::time_point asked;
    bool in_flight = false;
    bool waited_for = false;  // a refresh has waited its deadline for the first answer already
};

// The one pool of the process. Its workers are detached and wait for work for the life of the process,
// so it is never destroyed.
struct Pool {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable finished;
    std::deque<std::string> pending;
    std::unordered_map<std::string, Entry> entries;
    std::size_t workers = 0;

    void run() {
        guard_thread();
        std::unique_lock lock(mutex);
        for (;;) {
            work.wait(lock, [&] { return !pending.empty(); });
            const auto uri = std::move(pending.front());
            pending.pop_front();
            lock.unlock();
            auto answer = ask_device(uri);
            lock.lock();
            auto& entry = entries[uri];
            entry.answer = std::move(answer);
            entry.checked = Clock::now();
            entry.in_flight = false;
            finished.notify_all();
        }
    }
};

Pool& pool() {
    static auto* instance = new Pool;
    return *instance;
}

}  // namespace

std::vector<std::optional<Answer>> check(const std::vector<std::string>& device_uris) {
    auto& p = pool();
    const auto now = Clock::now();
    std::unique_lock lock(p.mutex);
    std::erase_if(p.entries, [&](const auto& item) {
        return !item.second.in_flight && now - item.second.asked > forget_after;
    });
    for (const auto& uri : device_uris) {
        auto& entry = p.entries[uri];
        entry.asked = now;
        const bool fresh = entry.answer && now - entry.checked < fresh_for;
        if (!fresh && !entry.in_flight) {
            entry.in_flight = true;
            p.pending.push_back(uri);
        }
    }
    while (p.workers < max_probes && p.workers < p.pending.size()) {
        ++p.workers;
        std::thread([&p] { p.run(); }).detach();
    }
    p.work.notify_all();
    // Only addresses never answered are waited for, and only once: the others keep their last answer
    // (or none) while the new one comes in.
    p.finished.wait_until(lock, now + deadline, [&] {
        return std::ranges::none_of(device_uris, [&](const auto& uri) {
            const auto& entry = p.entries[uri];
            return entry.in_flight && !entry.answer && !entry.waited_for;
        });
    });
    for (const auto& uri : device_uris) {
        p.entries[uri].waited_for = true;
    }
    std::vector<std::optional<Answer>> out;
    out.reserve(device_uris.size());
    for (const auto& uri : device_uris) {
        out.push_back(p.entries[uri].answer);
    }
    return out;
}

}  // namespace os_actions::printing::cups::probe
