#include "cups_finished_jobs.h"

#include <cups/cups.h>

#include <mutex>
#include <string>

namespace os_actions::printing::cups {

namespace {

struct FinishedJobs {
    std::mutex mutex;
    std::string server;
    std::unordered_map<int, ListedJob> jobs;
};

FinishedJobs& finished_jobs() {
    static auto* instance = new FinishedJobs;  // detached workers may refresh while the process exits
    return *instance;
}

std::string server_identity() {
    return std::string(cupsServer()) + ":" + std::to_string(ippPort());
}

}  // namespace

std::unordered_map<int, ListedJob> take_finished_jobs() {
    auto& cache = finished_jobs();
    const std::lock_guard lock(cache.mutex);
    if (cache.server != server_identity()) {
        cache.server = server_identity();
        cache.jobs.clear();
    }
    auto known = std::move(cache.jobs);
    cache.jobs.clear();
    return known;
}

void keep_finished_jobs(std::unordered_map<int, ListedJob> jobs) {
    auto& cache = finished_jobs();
    const std::lock_guard lock(cache.mutex);
    if (cache.server == server_identity()) {
        cache.jobs = std::move(jobs);
    }
}

}  // namespace os_actions::printing::cups
