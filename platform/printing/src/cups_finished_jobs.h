// Finished jobs do not change (one sent again is no longer finished), so their details are kept from
// one refresh to the next instead of being read again: only what the latest refresh showed, per server.
#pragma once

#include <unordered_map>

#include "printing/printing.h"

namespace os_actions::printing::cups {

struct ListedJob {
    PrintJob job;
    int number = 0;
};

// What the latest refresh kept, by job number, taken out of the cache; nothing when the server changed.
[[nodiscard]] std::unordered_map<int, ListedJob> take_finished_jobs();
// Keeps the finished jobs this refresh showed, unless the server changed meanwhile.
void keep_finished_jobs(std::unordered_map<int, ListedJob> jobs);

}  // namespace os_actions::printing::cups
