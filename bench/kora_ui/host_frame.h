// One frame of the host as the benchmarks time it: realize the root's tree again, free the old one,
// lay out and paint, and finish the cards that this paint brought into view.
#pragma once

#include <benchmark/benchmark.h>
#include <QApplication>

#include "qt/host.h"

namespace kora_ui::bench {

inline void rebuild_and_paint(qt::Host& host) {
    host.rebuild();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    benchmark::DoNotOptimize(host.grab());
    const auto realized = host.realized_widgets();
    QApplication::processEvents();
    if (host.realized_widgets() != realized) {
        benchmark::DoNotOptimize(host.grab());
    }
}

}  // namespace kora_ui::bench
