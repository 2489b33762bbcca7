// The largest drawing the tool was tried on, a sheet of playing cards (bench/data/card-sheet.svgz:
// 6,736 shapes once its 412 clones are read, 4706 x 2710 units): its import, one timer tick with
// the overlay draw it asks for once every shape is selected and the tool picked, and its export.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TextFiles.h"
#include "app/Runner.h"
#include "session/Session.h"
#include "svg/Svg.h"

namespace {

using simhost::app::Runner;

const std::string& cardSheet() {
  static const std::string text = readText(SARVELLO_BENCH_DATA "/card-sheet.svgz");
  return text;
}

simhost::session::Session parsed(const char* text) {
  auto result = simhost::session::parseSession(text, "bench");
  if (!result) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    std::abort();
  }
  return *result.session;
}

void BM_CardSheetImport(benchmark::State& state) {
  std::size_t paths = 0;
  for (auto _ : state) {
    simhost::Document document;
    simhost::svg::ImportResult r = simhost::svg::importSvg(cardSheet(), "card-sheet.svgz", document, simhost::ViewState{});
    if (!r) {
      state.SkipWithError(r.error.c_str());
      return;
    }
    paths = r.drawing->paths().size();
  }
  state.counters["paths"] = static_cast<double>(paths);
  if (paths < 6000) state.SkipWithError("the sheet did not import whole");
}
BENCHMARK(BM_CardSheetImport)->Unit(benchmark::kMillisecond);

// The tool picked on the whole sheet, as the default strokes begin; then one tick at a time.
void BM_CardSheetTickAndExport(benchmark::State& state, bool exportEach) {
  simhost::app::RunOptions options;
  if (const char* other = std::getenv("SARVELLO_BENCH_PLUGIN")) options.pluginPath = other;
  Runner runner(options);
  std::string error;
  const auto start = parsed(R"({"events": [
      {"type": "type-value", "control": "Size", "value": 1000},
      {"type": "select", "paths": "all"}, {"type": "pick-tool"}, {"type": "idle", "ticks": 1}]})");
  if (!runner.load(cardSheet(), "card-sheet.svgz", start, "bench", true, &error) || !runner.start(&error) ||
      !runner.play(start, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto tick = parsed(R"({"events": [{"type": "idle", "ticks": 1}]})");
  const auto before = runner.stats();
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (exportEach) {
      std::string svg;
      if (!runner.exportSvg(&svg, &error)) state.SkipWithError(error.c_str());
      bytes = svg.size();
    } else if (!runner.play(tick, &error)) {
      state.SkipWithError(error.c_str());
    }
  }
  const auto after = runner.stats();
  state.counters["vertices"] = static_cast<double>(after.verticesAfter);
  // The tool's work: the sheet's paths resampled into dense points (and so written anew).
  if (after.verticesAfter <= after.verticesBefore) state.SkipWithError("the tool resampled nothing");
  if (exportEach) {
    state.counters["bytes"] = static_cast<double>(bytes);
  } else {
    state.counters["ticks"] = benchmark::Counter(static_cast<double>(after.timerTicks - before.timerTicks),
                                                 benchmark::Counter::kAvgIterations);
    state.counters["draws"] = benchmark::Counter(static_cast<double>(after.draws - before.draws),
                                                 benchmark::Counter::kAvgIterations);
    if (after.timerTicks - before.timerTicks != static_cast<int64_t>(state.iterations()))
      state.SkipWithError("not one tick an iteration");
  }
  runner.quit(&error);
}
BENCHMARK_CAPTURE(BM_CardSheetTickAndExport, tick, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CardSheetTickAndExport, export, true)->Unit(benchmark::kMillisecond);

}  // namespace
