// The module as the host runs it: one timer tick with the overlay draw it asks for, on a path at
// the vertex limit and on the demo's drawing, and the demo's whole replay.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Runner.h"
#include "app/Sample.h"
#include "session/Session.h"

namespace {

using simhost::app::Runner;
using simhost::session::Session;

Session parsed(const std::string& text) {
  auto result = simhost::session::parseSession(text, "bench");
  if (!result) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    std::abort();
  }
  return *result.session;
}

// A zigzag of 151 strokes across the 400-unit square: about 29,700 points at the sampling
// distance of 2, just under the vertex limit, all inside the square.
std::string limit_drawing() {
  constexpr int kRows = 151;
  std::string d = "M 0 1";
  for (int row = 0; row < kRows; ++row) {
    const std::string x = row % 2 == 0 ? " 400 " : " 0 ";
    d += " L" + x + std::to_string(1 + (row * 398) / (kRows - 1));
    if (row + 1 < kRows) d += " L" + x + std::to_string(1 + ((row + 1) * 398) / (kRows - 1));
  }
  // Declared 360 wide, it is placed as it always was: 360 artwork units across the square.
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"360\" height=\"360\" "
         "viewBox=\"0 0 400 400\"><path id=\"zigzag\" fill=\"none\" stroke=\"black\" d=\"" +
         d + "\"/></svg>";
}

// The module to load: the one beside the program, or SARVELLO_BENCH_PLUGIN (another build's,
// to hold the two against each other in one run).
simhost::app::RunOptions run_options() {
  simhost::app::RunOptions options;
  if (const char* other = std::getenv("SARVELLO_BENCH_PLUGIN")) options.pluginPath = other;
  return options;
}

// Picks the tool on every path of the drawing, then times sessions of ten idle ticks.
void tick_and_draw(benchmark::State& state, const std::string& svg) {
  simhost::app::RunOptions options = run_options();
  options.diagnostic = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  Runner runner(options);
  std::string error;
  const Session start = parsed(R"({"events": [
      {"type": "select", "paths": "all"}, {"type": "pick-tool"}, {"type": "idle", "ticks": 2}]})");
  if (!runner.start(&error) || !runner.load(svg, "drawing.svg", start, "bench", true, &error) ||
      !runner.play(start, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const Session ticks = parsed(R"({"events": [{"type": "idle", "ticks": 10}]})");
  const auto before = runner.stats();
  for (auto _ : state) {
    if (!runner.play(ticks, &error)) state.SkipWithError(error.c_str());
  }
  const auto after = runner.stats();
  state.SetItemsProcessed(after.timerTicks - before.timerTicks);
  state.counters["vertices"] = static_cast<double>(after.verticesAfter);
  state.counters["draws"] = benchmark::Counter(static_cast<double>(after.draws - before.draws),
                                               benchmark::Counter::kAvgIterations);
  runner.quit(&error);
}

// Per iteration: ten ticks, each with its draw; the time per tick is the time shown / 10.
void BM_TenTicksAtTheVertexLimit(benchmark::State& state) { tick_and_draw(state, limit_drawing()); }
BENCHMARK(BM_TenTicksAtTheVertexLimit)->Unit(benchmark::kMillisecond);

void BM_TenTicksOnTheDemoDrawing(benchmark::State& state) {
  tick_and_draw(state, simhost::app::kSampleSvg);
}
BENCHMARK(BM_TenTicksOnTheDemoDrawing)->Unit(benchmark::kMillisecond);

// The demo's session from start to quit, without pictures. The replay's clock is the host's, so
// nothing waits: real time and processor time are close.
void BM_DemoReplay(benchmark::State& state) {
  const Session session = parsed(simhost::app::kSampleSession);
  for (auto _ : state) {
    Runner runner(run_options());
    std::string error;
    if (!runner.start(&error) ||
        !runner.load(simhost::app::kSampleSvg, "sample.svg", session, "demo", true, &error) ||
        !runner.play(session, &error) || !runner.quit(&error))
      state.SkipWithError(error.c_str());
  }
}
BENCHMARK(BM_DemoReplay)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
