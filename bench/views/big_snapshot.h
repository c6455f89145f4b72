// A snapshot of many printers and jobs, made from the sample data set's first printer and job.
#pragma once

#include <string>

#include "sample.h"
#include "snapshot.h"

namespace presswick::bench {

inline DeviceSnapshot big_snapshot(int printers, int jobs) {
    DeviceSnapshot snapshot = sample::snapshot();
    auto base_printer = snapshot.printers->front();
    auto base_job = snapshot.jobs->front();
    snapshot.printers->clear();
    snapshot.jobs->clear();
    for (int i = 0; i < printers; ++i) {
        auto printer = base_printer;
        printer.name = "Printer_" + std::to_string(i);
        printer.is_default = i == 0;
        snapshot.printers->push_back(printer);
    }
    for (int i = 0; i < jobs; ++i) {
        auto job = base_job;
        job.queue = "Printer_" + std::to_string(i % printers);
        job.id = job.queue + "-" + std::to_string(i);
        job.state = static_cast<os_actions::printing::JobState>(i % 7);
        snapshot.jobs->push_back(job);
    }
    return snapshot;
}

}  // namespace presswick::bench
