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
