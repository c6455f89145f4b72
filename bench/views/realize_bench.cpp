// The dashboard (50 printers, 200 jobs) and the queue (24 cards) built from a snapshot and realized in
// the Qt host offscreen, as one refresh does: build the tree, realize it, lay it out, paint, free the
// old one. The baseline is the same number of plain Qt widgets made and shown by hand.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstdlib>

#include "big_snapshot.h"
#include "host_frame.h"
#include "qt/host.h"
#include "qt/style.h"
#include "surface/presswick.h"
#include "views/views.h"

namespace {

using presswick::surface::Presswick;

template <class Build>
void realize_each_time(benchmark::State& bench, const presswick::DeviceSnapshot& snapshot, Build build) {
    kora_ui::qt::Host host(std::make_unique<Presswick>(presswick::views::build_loading_view()));
    host.set_card_delay(std::chrono::hours(1));  // only what the frame paints, as before idle realization
    auto& state = dynamic_cast<Presswick&>(host.root());
    host.resize(1280, 800);
    host.show();
    QApplication::processEvents();
    for (auto _ : bench) {
        state.install(build(snapshot, state));
        kora_ui::bench::rebuild_and_paint(host);
    }
    bench.counters["widgets"] = static_cast<double>(host.realized_widgets());
}

void BM_DashboardBuildAndRealize_50x200(benchmark::State& bench) {
    realize_each_time(bench, presswick::bench::big_snapshot(50, 200),
                      [](const auto& snapshot, const auto& state) {
                          return presswick::views::build_dashboard_view(snapshot, state, std::nullopt);
                      });
}
BENCHMARK(BM_DashboardBuildAndRealize_50x200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_QueueBuildAndRealize_24(benchmark::State& bench) {
    realize_each_time(
        bench, presswick::bench::big_snapshot(4, 24), [](const auto& snapshot, const auto& state) {
            return presswick::views::build_queue_view(snapshot, state, std::nullopt, std::nullopt);
        });
}
BENCHMARK(BM_QueueBuildAndRealize_24)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// One refresh of the dashboard as the window sees it, the view's own building left out: the new tree
// is installed, then either every widget is made again (`rebuild`, the baseline) or the tree is
// patched into the realized one; then the frame is finished (old widgets freed, layout, paint).
// Alternate snapshots make every other tree differ from the one before (one printer's status).
// The host's idle realization is held off so that no iteration does it: the cards left out of the
// first frame wait (as in the rebuild), or, for the AllCards runs, are all realized before the patching
// starts (the most a patch walks and a layout measures).
void refresh_dashboard(benchmark::State& bench, bool rebuild, bool change_one_status,
                       bool all_cards = false) {
    const auto first = presswick::bench::big_snapshot(50, 200);
    auto second = first;
    if (change_one_status) {
        (*second.printers)[7].state = presswick::printing::QueueState::paused;
    }
    kora_ui::qt::Host host(std::make_unique<Presswick>(presswick::views::build_loading_view()));
    host.set_card_delay(std::chrono::hours(1));
    auto& state = dynamic_cast<Presswick&>(host.root());
    host.resize(1280, 800);
    host.show();
    state.install(presswick::views::build_dashboard_view(first, state, std::nullopt));
    host.rebuild();
    QApplication::processEvents();
    if (all_cards) {
        host.realize_waiting_cards_now();
        QApplication::processEvents();
    }
    bool flip = false;
    for (auto _ : bench) {
        bench.PauseTiming();
        flip = !flip;
        auto view = presswick::views::build_dashboard_view(flip ? second : first, state, std::nullopt);
        bench.ResumeTiming();
        state.install(std::move(view));
        if (rebuild) {
            host.rebuild();
        } else {
            host.pump();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        QApplication::processEvents();
    }
    bench.counters["widgets"] = static_cast<double>(host.realized_widgets());
}

void BM_DashboardRefresh_Rebuild_Unchanged(benchmark::State& bench) {
    refresh_dashboard(bench, true, false);
}
void BM_DashboardRefresh_Patch_Unchanged(benchmark::State& bench) {
    refresh_dashboard(bench, false, false);
}
void BM_DashboardRefresh_Rebuild_OneStatus(benchmark::State& bench) {
    refresh_dashboard(bench, true, true);
}
void BM_DashboardRefresh_Patch_OneStatus(benchmark::State& bench) {
    refresh_dashboard(bench, false, true);
}
void BM_DashboardRefresh_Patch_Unchanged_AllCards(benchmark::State& bench) {
    refresh_dashboard(bench, false, false, true);
}
void BM_DashboardRefresh_Patch_OneStatus_AllCards(benchmark::State& bench) {
    refresh_dashboard(bench, false, true, true);
}
BENCHMARK(BM_DashboardRefresh_Patch_Unchanged_AllCards)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DashboardRefresh_Patch_OneStatus_AllCards)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DashboardRefresh_Rebuild_Unchanged)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DashboardRefresh_Patch_Unchanged)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DashboardRefresh_Rebuild_OneStatus)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DashboardRefresh_Patch_OneStatus)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Plain Qt: `cards` frames of a title, a status line, a meter and a button (5 widgets each), in a
// scroll area, made, shown, painted and freed every time.
void BM_Baseline_PlainQtCards(benchmark::State& bench) {
    const int cards = static_cast<int>(bench.range(0));
    QScrollArea window;
    window.setWidgetResizable(true);
    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
    for (auto _ : bench) {
        auto* content = new QWidget;
        auto* column = new QVBoxLayout(content);
        for (int i = 0; i < cards; ++i) {
            auto* frame = new QFrame(content);
            auto* layout = new QVBoxLayout(frame);
            layout->addWidget(new QLabel(QStringLiteral("Printer %1").arg(i), frame));
            layout->addWidget(new QLabel(QStringLiteral("Ready"), frame));
            auto* meter = new QProgressBar(frame);
            meter->setValue(64);
            layout->addWidget(meter);
            layout->addWidget(new QPushButton(QStringLiteral("Open"), frame));
            column->addWidget(frame);
        }
        delete window.takeWidget();
        window.setWidget(content);
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
    }
    bench.counters["widgets"] = cards * 5;
}
// About the widget counts of the two views above.
BENCHMARK(BM_Baseline_PlainQtCards)
    ->Arg(24)
    ->Arg(80)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    kora_ui::qt::apply_dark_theme(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
