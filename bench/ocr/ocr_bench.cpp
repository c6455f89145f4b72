// ocr_bench: the cost of what recognize_page adds around the engine, beside the engine itself.
// Pages are drawn with DejaVu Sans: "dense" has 60 lines of text on A4, "sparse" 5; both are tilted by
// 1.5 degrees so that preparation also straightens them. Few iterations: the engine runs take seconds.
// At the end: our share (preparation, temporary PNG, parsing; this thread's CPU time) against the engine's
// own CPU time on each page, and whether the engine finds the same words in the fast temporary PNG as in
// one written with the PNG library's default settings.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <time.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "ocr/ocr.h"
#include "ocr/temp_png.h"
#include "text_page.h"

namespace {

using namespace std::chrono_literals;

struct Page {
    ocr::GrayImage gray;
    std::vector<std::uint8_t> rgba;
    [[nodiscard]] ocr::ImageView view() const {
        return {rgba, gray.width, gray.height, ocr::PixelLayout::rgba};
    }
};

std::vector<std::string> page_lines(std::size_t count) {
    const auto a = ocr::testing::english_lines(count + 3);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back(a[i] + " and " + a[i + 3]);
    }
    return lines;
}

// An A4 page at `dpi` with `lines` lines of 10-point text, tilted by 1.5 degrees.
const Page& page(int dpi, std::size_t lines) {
    static std::map<std::pair<int, std::size_t>, Page> pages;
    auto found = pages.find({dpi, lines});
    if (found != pages.end()) {
        return found->second;
    }
    const double scale = dpi / 300.0;
    const ocr::testing::TextPage layout{.width = static_cast<std::uint32_t>(2480 * scale),
                                        .height = static_cast<std::uint32_t>(3508 * scale),
                                        .pixel_height = static_cast<float>(40 * scale),
                                        .left = static_cast<std::uint32_t>(180 * scale),
                                        .top = static_cast<std::uint32_t>(160 * scale),
                                        .line_advance = static_cast<std::uint32_t>(53 * scale)};
    auto straight = ocr::testing::render_text_page(layout, page_lines(lines));
    if (!straight) {
        throw std::runtime_error(straight.error());
    }
    Page made{ocr::rotate_image(*straight, 1.5), {}};
    made.rgba = ocr::testing::to_rgba(made.gray);
    return pages.emplace(std::pair{dpi, lines}, std::move(made)).first->second;
}

const ocr::GrayImage& prepared(std::size_t lines) {
    static std::map<std::size_t, ocr::GrayImage> images;
    auto found = images.find(lines);
    if (found == images.end()) {
        found = images.emplace(lines, ocr::prepare_page_image(page(300, lines).view()).value()).first;
    }
    return found->second;
}

// The prepared 300-dpi page as a PNG file that stays for the whole run (removed at exit).
const std::filesystem::path& prepared_png(std::size_t lines) {
    static std::map<std::size_t, ocr::TempPng> files;
    auto found = files.find(lines);
    if (found == files.end()) {
        auto file = ocr::TempPng::create().value();
        file.write(prepared(lines)).value();
        found = files.emplace(lines, std::move(file)).first;
    }
    return found->second.path();
}

// CPU seconds used by finished children so far: on a shared machine the engine's wall time says little.
double children_cpu_seconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::map<std::size_t, std::string>& engine_outputs() {
    static std::map<std::size_t, std::string> outputs;
    return outputs;
}

double thread_cpu_ms() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Milliseconds per iteration of each step on each page (lines), for the summary.
std::map<std::pair<std::string, std::size_t>, double>& step_ms() {
    static std::map<std::pair<std::string, std::size_t>, double> steps;
    return steps;
}

void prepare(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(1));
    const Page& input = page(static_cast<int>(state.range(0)), lines);
    const double cpu_before = thread_cpu_ms();
    for (auto _ : state) {
        auto result = ocr::prepare_page_image(input.view());
        benchmark::DoNotOptimize(result);
    }
    if (state.range(0) == 300) {
        step_ms()[{"prepare", lines}] = (thread_cpu_ms() - cpu_before) / state.iterations();
    }
    state.counters["Mpixel"] = input.gray.width * static_cast<double>(input.gray.height) / 1e6;
}

void prepare_untilted(benchmark::State& state) {
    const ocr::GrayImage& straight = prepared(60);  // already straight: no rotation
    const auto rgba = ocr::testing::to_rgba(straight);
    const ocr::ImageView view{rgba, straight.width, straight.height, ocr::PixelLayout::rgba};
    for (auto _ : state) {
        auto result = ocr::prepare_page_image(view);
        benchmark::DoNotOptimize(result);
    }
}

// The three steps of preparation one by one, on the tilted 300-dpi dense page.
void prepare_step(benchmark::State& state) {
    const Page& input = page(300, 60);
    ocr::GrayImage gray = ocr::to_luminance(input.view());
    ocr::raise_contrast(gray);
    for (auto _ : state) {
        switch (state.range(0)) {
            case 0: {
                auto converted = ocr::to_luminance(input.view());
                ocr::raise_contrast(converted);
                benchmark::DoNotOptimize(converted);
                break;
            }
            case 1:
                benchmark::DoNotOptimize(ocr::estimate_skew(gray));
                break;
            default:
                benchmark::DoNotOptimize(ocr::rotate_image(gray, 1.5));
                break;
        }
    }
    state.SetLabel(state.range(0) == 0   ? "luminance+contrast"
                   : state.range(0) == 1 ? "estimate_skew"
                                         : "rotate");
}

void write_png(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    const ocr::GrayImage& image = prepared(lines);
    const double cpu_before = thread_cpu_ms();
    for (auto _ : state) {
        auto file = ocr::TempPng::create().value();
        file.write(image).value();
    }
    step_ms()[{"png", lines}] = (thread_cpu_ms() - cpu_before) / state.iterations();
}

// The earlier temporary PNG: the library's default settings, encoded in memory, then written.
void write_png_default(benchmark::State& state) {
    const ocr::GrayImage& image = prepared(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto file = ocr::TempPng::create().value();
        const auto png = ocr::encode_gray_png(image).value();
        std::ofstream(file.path(), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
}

void engine_alone(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    const bool limited = state.range(1) != 0;
    auto command = ocr::engine_command(prepared_png(lines), "eng");
    if (!limited) {
        command.environment.clear();
    }
    const double cpu_before = children_cpu_seconds();
    for (auto _ : state) {
        auto run = bounded_command::run_prepared_with_limits(command, std::nullopt, 16 << 20, 1 << 20, 600s);
        if (!run || !run->status.success()) {
            state.SkipWithError("tesseract failed");
            return;
        }
        engine_outputs()[lines].assign(run->stdout_bytes.begin(), run->stdout_bytes.end());
    }
    state.counters["engine_cpu_ms"] = (children_cpu_seconds() - cpu_before) * 1000 / state.iterations();
    if (limited) {
        step_ms()[{"engine", lines}] = (children_cpu_seconds() - cpu_before) * 1000 / state.iterations();
    }
}

void parse(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    const std::string& text = engine_outputs()[lines];
    if (text.empty()) {
        state.SkipWithError("run engine_alone first");
        return;
    }
    std::size_t words = 0;
    const double cpu_before = thread_cpu_ms();
    for (auto _ : state) {
        auto output = ocr::parse_engine_tsv(text, "eng");
        words = output->words.size();
        benchmark::DoNotOptimize(output);
    }
    step_ms()[{"parse", lines}] = (thread_cpu_ms() - cpu_before) / state.iterations();
    state.counters["words"] = static_cast<double>(words);
}

void recognize(benchmark::State& state) {
    const Page& input = page(300, static_cast<std::size_t>(state.range(0)));
    std::size_t words = 0;
    const double cpu_before = children_cpu_seconds();
    for (auto _ : state) {
        auto output = ocr::recognize_page(input.view(), "eng");
        if (!output) {
            state.SkipWithError(ocr::describe(output.error()).c_str());
            return;
        }
        words = output->words.size();
    }
    state.counters["words"] = static_cast<double>(words);
    state.counters["engine_cpu_ms"] = (children_cpu_seconds() - cpu_before) * 1000 / state.iterations();
}

}  // namespace

BENCHMARK(prepare)
    ->ArgNames({"dpi", "lines"})
    ->Args({300, 60})
    ->Args({600, 60})
    ->Args({300, 5})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(prepare_step)->ArgName("step")->DenseRange(0, 2)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(prepare_untilted)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(write_png)->ArgName("lines")->Arg(60)->Arg(5)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(write_png_default)->ArgName("lines")->Arg(60)->Arg(5)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(engine_alone)
    ->ArgNames({"lines", "omp1"})
    ->Args({60, 1})
    ->Args({5, 1})
    ->Args({5, 0})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(engine_alone)
    ->ArgNames({"lines", "omp1"})
    ->Args({60, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(parse)->ArgName("lines")->Arg(60)->Arg(5)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(recognize)->ArgName("lines")->Arg(60)->Arg(5)->Iterations(2)->UseRealTime()->Unit(
    benchmark::kMillisecond);

namespace {

// The words the engine finds in a PNG of the prepared page written with the library's default settings.
std::vector<ocr::OcrWord> words_from_default_png(std::size_t lines) {
    auto file = ocr::TempPng::create().value();
    const auto png = ocr::encode_gray_png(prepared(lines)).value();
    std::ofstream(file.path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return ocr::run_engine(file.path(), "eng").value().words;
}

void print_shares() {
    const auto& steps = step_ms();
    for (const auto& [lines, name] : {std::pair<std::size_t, const char*>{60, "dense"}, {5, "sparse"}}) {
        const auto at = [&](const char* step) {
            const auto found = steps.find({step, lines});
            return found == steps.end() ? -1.0 : found->second;
        };
        const double prepare = at("prepare"), png = at("png"), parse = at("parse"), engine = at("engine");
        if (prepare < 0 || png < 0 || parse < 0 || engine <= 0) {
            std::printf("%s page: run prepare, write_png, engine_alone and parse for the share\n", name);
            continue;
        }
        const double ours = prepare + png + parse;
        std::printf(
            "%s page: ours %.1f ms (prepare %.1f, png %.1f, parse %.2f) / engine %.1f ms CPU = %.1f%%\n",
            name, ours, prepare, png, parse, engine, 100.0 * ours / engine);
        const auto fast = ocr::recognize_page(page(300, lines).view(), "eng");
        const auto reference = words_from_default_png(lines);
        std::printf("%s page: %zu words, the same as from a default-settings PNG: %s\n", name,
                    fast ? fast->words.size() : 0, fast && fast->words == reference ? "yes" : "NO");
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    print_shares();
    return 0;
}
