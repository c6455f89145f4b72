#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "big_snapshot.h"
#include "pdf_fixture.h"
#include "surface/presswick.h"
#include "thumbnail/thumbnail.h"
#include "views/views.h"

namespace {

void BM_DashboardBuild_50x200(benchmark::State& bench) {
    presswick::Presswick state(presswick::views::build_loading_view());
    const auto snapshot = presswick::bench::big_snapshot(50, 200);
    for (auto _ : bench) {
        auto tree = presswick::views::build_dashboard_view(snapshot, state, std::nullopt);
        benchmark::DoNotOptimize(tree);
    }
}
BENCHMARK(BM_DashboardBuild_50x200)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_QueueBuild_24(benchmark::State& bench) {
    presswick::Presswick state(presswick::views::build_loading_view());
    const auto snapshot = presswick::bench::big_snapshot(4, 24);
    for (auto _ : bench) {
        auto tree = presswick::views::build_queue_view(snapshot, state, std::nullopt, std::nullopt);
        benchmark::DoNotOptimize(tree);
    }
}
BENCHMARK(BM_QueueBuild_24)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A 20-page A4 PDF with text and shapes on every page, written by hand.
std::filesystem::path twenty_page_pdf() {
    const auto path = std::filesystem::temp_directory_path() / "views-bench-20-pages.pdf";
    std::vector<std::string> objects{"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    const int font = 3;
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int i = 0; i < 20; ++i) {
        const int page = static_cast<int>(objects.size()) + 1;
        kids += std::to_string(page) + " 0 R ";
        std::string content = "0.2 0.3 0.6 rg 50 700 495 80 re f 0 g BT /F1 11 Tf 60 660 Td 14 TL ";
        for (int line = 0; line < 40; ++line) {
            content += "(Page " + std::to_string(i + 1) + " line " + std::to_string(line) +
                       ": the quick brown fox jumps over the lazy dog) '\n";
        }
        content += "ET";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 " +
                          std::to_string(font) + " 0 R >> >> /Contents " + std::to_string(page + 1) +
                          " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                          "\nendstream");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count 20 >>";
    std::string pdf = test_pdf::from_objects(objects);
    std::ofstream(path, std::ios::binary) << pdf;
    return path;
}

void BM_PreviewOf20PagePdf(benchmark::State& bench) {
    const auto path = twenty_page_pdf();
    for (auto _ : bench) {
        auto image = thumbnail::generate(path, thumbnail::category_for_path(path), 720);
        if (!image) {
            bench.SkipWithError(image.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(image);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_PreviewOf20PagePdf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
